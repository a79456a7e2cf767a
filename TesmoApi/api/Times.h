// Points in time as the API reads and writes them: UTC text
// "YYYY-MM-DDTHH:MM:SSZ" for 32-bit seconds since 1970.
#pragma once

#include <cstdint>

// Bytes of a time text buffer: 20 characters and the terminator.
constexpr unsigned kTimeTextSize = 21;
// Earliest and latest year a time text may name.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2038;

// Reads "YYYY-MM-DDTHH:MM:SSZ" as UTC seconds since 1970. Each field is read
// like ScanInteger (so 2022-4-5T1:2:3Z is accepted); the separators must be
// there, the Z and anything after the seconds are not examined. Year
// 1970..2038, month 1..12, day 1..31, hour 0..23, minute and second 0..59; a
// day past the end of its month rolls over into the next one, and a time
// after 2038-01-19T03:14:07Z fails. On failure time is left untouched.
bool ParseTime(const char* text, int32_t* time);

// Writes a time as "YYYY-MM-DDTHH:MM:SSZ" (UTC) into text, which holds
// kTimeTextSize bytes. Times before 1970 are written as their proleptic
// Gregorian date (-1 is 1969-12-31T23:59:59Z).
void FormatTime(int32_t time, char* text);

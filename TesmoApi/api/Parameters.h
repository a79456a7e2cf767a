// Query parameters and points in time. Handlers read their parameters from
// the parameter document the HTTP library builds from the query string, turn
// them into integers, and read and write times as UTC text
// "YYYY-MM-DDTHH:MM:SSZ".
#ifndef TESMOAPI_API_PARAMETERS_H
#define TESMOAPI_API_PARAMETERS_H

#include <cstdint>

#include "api/JsonOutput.h"

// Bytes of a time text buffer: 20 characters and the terminator.
constexpr unsigned kTimeTextSize = 21;
// Earliest and latest year a time text may name.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2038;

// A formatted scan with sscanf semantics; returns the number of fields
// converted (or EOF). For "%d" prefer ScanInteger, which is defined for
// numbers outside the 32-bit range.
int ScanText(const char* text, const char* format, ...);

// Reads an integer as "%d" does: leading whitespace, an optional sign, then
// digits up to the first other character ("12abc" is 12, "1.5" is 1). A
// number outside the 32-bit range is clamped to INT32_MIN or INT32_MAX.
// Returns false, leaving value untouched, when there is no number.
bool ScanInteger(const char* text, int32_t* value);

// ScanInteger at *text that also moves *text past the number it read.
bool ReadInteger(const char** text, int32_t* value);

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

// Characters a parameter value may have to be read by the helpers below.
constexpr uint32_t kParameterCapacity = 255;

// Bytes of a buffer for a parameter value of up to characters characters in
// its longest UTF-8 form, terminator included.
constexpr uint32_t ParameterSize(uint32_t characters) {
    return JsonUtf8Size(characters);
}

// Reads parameter name of the parameter document into value, which holds
// ParameterSize(limit) bytes, with the document's string escapes decoded (a
// quote, a backslash or a tab in the query comes back as itself). False when
// the parameter is absent, unreadable or, decoded, longer than limit
// characters (limit is at most kParameterCapacity). Characters are counted
// as the JSON writer reads text (JsonCountCharacters), so an id of 50
// accented letters is read whole although it takes 100 bytes or more.
bool GetParameter(const char* parameters, const char* name, char* value, uint32_t limit);

// Reads an integer parameter. False (value untouched) when it is absent or
// does not begin with a number.
bool GetIntegerParameter(const char* parameters, const char* name, int32_t* value);

// Reads a time parameter. False (time untouched) when it is absent or not a
// valid time text.
bool GetTimeParameter(const char* parameters, const char* name, int32_t* time);

#endif  // TESMOAPI_API_PARAMETERS_H

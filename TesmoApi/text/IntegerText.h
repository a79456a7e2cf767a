// Integers read from text, as the configuration's ports and the API's counts
// and time fields are read.
#pragma once

#include <cstdint>

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

// Members shared by several data resources: counts, flags, times, the value
// of a variable or sample (a Boolean for DIGITAL variables), and the
// type-dependent members of a stored analysis.
#pragma once

#include <cstdint>

#include "TesmoClient.h"
#include "api/JsonOutput.h"

// True for the variables whose values are on/off.
bool IsDigital(const strVariable* variable);

// A member written with "%ld" (never the first member).
void AddInteger(strJsonOutput* output, const char* name, long value);

// A Boolean member (never the first member).
void AddBoolean(strJsonOutput* output, const char* name, bool value);

// A String member holding a time as UTC text.
void AddTime(strJsonOutput* output, const char* name, int32_t time, bool first);

// "value": true when above 0 for a digital variable, else the number.
void AddValue(strJsonOutput* output, float value, bool digital);

// "type" and the members of a stored spectrum or waveform; nothing for any
// other type letter.
void AddStoredAnalysisType(strJsonOutput* output, const strAnalisisData& header);

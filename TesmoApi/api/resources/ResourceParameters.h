// Reading the parameters of the data resources with their length limits,
// counted in characters (Parameters.h). A value longer than its limit cannot
// be read, like an absent one.
#ifndef TESMOAPI_API_RESOURCES_RESOURCEPARAMETERS_H
#define TESMOAPI_API_RESOURCES_RESOURCEPARAMETERS_H

#include <cstdint>

#include "api/Parameters.h"

// Characters of an id parameter (machine, group, variable, analysis, status).
constexpr uint32_t kIdLimit = 50;
// Characters of a time parameter: the 20 of the time text and one spare.
constexpr uint32_t kTimeLimit = 21;
// Characters of an option (max_items, mapped).
constexpr uint32_t kOptionLimit = 20;

// Bytes of a buffer for an id parameter: an id the API prints takes up to
// 3 bytes per character in UTF-8, a query may send 4.
constexpr uint32_t kIdSize = ParameterSize(kIdLimit);

// Reads a text parameter into value (ParameterSize(limit) bytes). False when
// it is absent, too long or empty: an empty value counts as missing.
bool ReadText(const char* parameters, const char* name, char* value, uint32_t limit);

// Reads a time parameter. False when it is absent, too long or not a time.
bool ReadTime(const char* parameters, const char* name, int32_t* time);

// Reads an optional count; *count keeps its default when the parameter is
// absent, too long or does not begin with a number.
void ReadCount(const char* parameters, const char* name, int32_t* count);

// Reads an optional flag; *flag keeps its default unless the value is
// exactly true or false.
void ReadFlag(const char* parameters, const char* name, bool* flag);

#endif  // TESMOAPI_API_RESOURCES_RESOURCEPARAMETERS_H

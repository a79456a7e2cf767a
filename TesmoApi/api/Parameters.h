// Reading the parameters of a request from the parameter document the HTTP
// library builds from the query string. Every parameter has a length limit
// counted in characters; a value longer than its limit cannot be read, like
// an absent one.
#pragma once

#include <cstdint>

#include "text/JsonText.h"

// Characters a parameter value may have to be read at all.
constexpr uint32_t kMaxParameterCharacters = 255;
// Characters of an id parameter (machine, group, variable, analysis, status).
constexpr uint32_t kIdLimit = 50;
// Characters of a time parameter: the 20 of the time text and one spare.
constexpr uint32_t kTimeLimit = 21;
// Characters of an option (max_items, mapped).
constexpr uint32_t kOptionLimit = 20;

// Bytes of a buffer for a parameter value of up to characters characters in
// its longest UTF-8 form, terminator included.
constexpr uint32_t ParameterSize(uint32_t characters) {
    return JsonUtf8Size(characters);
}

// Bytes of a buffer for an id parameter: an id the API prints takes up to
// 3 bytes per character in UTF-8, a query may send 4.
constexpr uint32_t kIdSize = ParameterSize(kIdLimit);

// Reads parameter name of the parameter document into value, which holds
// ParameterSize(limit) bytes, with the document's string escapes decoded (a
// quote, a backslash or a tab in the query comes back as itself). False when
// the parameter is absent, unreadable or, decoded, longer than limit
// characters (limit is at most kMaxParameterCharacters). Characters are
// counted as the JSON writer reads text (JsonCountCharacters), so an id of 50
// accented letters is read whole although it takes 100 bytes or more.
bool GetParameter(const char* parameters, const char* name, char* value, uint32_t limit);

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

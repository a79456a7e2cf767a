// Reading parameters: the value's text as the document writes it, its
// escapes decoded, its length checked in characters.
#include "api/Parameters.h"

#include <cstddef>
#include <cstring>

#include "api/Times.h"
#include "service/JsonReader.h"
#include "text/IntegerText.h"

namespace {

// Bytes a character of a parameter value may take as written: a character
// outside the Basic Multilingual Plane written as a pair of \uXXXX escapes.
constexpr size_t kWrittenCharacterBytes = 2 * kUnicodeEscapeLength;
constexpr size_t kWrittenParameterSize = kWrittenCharacterBytes * kMaxParameterCharacters + 1;

}  // namespace

bool GetParameter(const char* parameters, const char* name, char* value, uint32_t limit) {
    // The limit holds for the text the escapes stand for: a value the HTTP
    // library cut to its length may take more bytes as written.
    char written[kWrittenParameterSize];
    if (limit > kMaxParameterCharacters) return false;
    if (!JsonGetValue(parameters, name, written, kWrittenCharacterBytes * limit)) return false;
    JsonDecodeEscapes(written);
    if (JsonCountCharacters(written) > limit) return false;
    std::memcpy(value, written, std::strlen(written) + 1);
    return true;
}

bool ReadText(const char* parameters, const char* name, char* value, uint32_t limit) {
    return GetParameter(parameters, name, value, limit) && value[0] != '\0';
}

bool ReadTime(const char* parameters, const char* name, int32_t* time) {
    char text[ParameterSize(kTimeLimit)];
    return GetParameter(parameters, name, text, kTimeLimit) && ParseTime(text, time);
}

void ReadCount(const char* parameters, const char* name, int32_t* count) {
    char text[ParameterSize(kOptionLimit)];
    if (GetParameter(parameters, name, text, kOptionLimit)) ScanInteger(text, count);
}

void ReadFlag(const char* parameters, const char* name, bool* flag) {
    char text[ParameterSize(kOptionLimit)];
    if (!GetParameter(parameters, name, text, kOptionLimit)) return;
    if (std::strcmp(text, "true") == 0) *flag = true;
    if (std::strcmp(text, "false") == 0) *flag = false;
}

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
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The character a two-byte escape stands for.
char TwoByteEscape(char c) {
    switch (c) {
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            break;
    }
    return c;  // \" \\ and \/ stand for themselves
}

// Turns the escapes of a string value into the characters they stand for,
// in place: a decoded escape is never longer than the escape itself. A lone
// surrogate becomes U+FFFD; a backslash without an escape after it is kept.
void DecodeEscapes(char* text) {
    const char* in = text;
    const char* end = text + std::strlen(text);
    char* out = text;
    while (in < end) {
        if (in[0] == '\\' && in + 1 < end && in[1] != 'u') {
            *out++ = TwoByteEscape(in[1]);
            in += 2;
            continue;
        }
        uint32_t code = 0;
        const size_t escape =
            in[0] == '\\' ? ReadUnicodeEscape(in, static_cast<size_t>(end - in), &code) : 0;
        if (escape == 0) {
            *out++ = *in++;  // a plain byte, or a backslash without an escape after it
            continue;
        }
        out += JsonEncodeUtf8(IsSurrogate(code) ? kReplacementCharacter : code, out);
        in += escape;
    }
    *out = '\0';
}

}  // namespace

bool GetParameter(const char* parameters, const char* name, char* value, uint32_t limit) {
    // The limit holds for the text the escapes stand for: a value the HTTP
    // library cut to its length may take more bytes as written.
    char written[kWrittenParameterSize];
    if (limit > kMaxParameterCharacters) return false;
    if (!JsonGetValue(parameters, name, written, kWrittenCharacterBytes * limit)) return false;
    DecodeEscapes(written);
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

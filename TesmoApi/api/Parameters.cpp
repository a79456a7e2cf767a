// Reading parameters and integers.
#include "api/Parameters.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "api/JsonOutput.h"
#include "service/JsonReader.h"

namespace {

// The whitespace that "%d" skips (isspace in the C locale).
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Bytes a character of a parameter value may take as written: a character
// outside the Basic Multilingual Plane written as a pair of \uXXXX escapes.
constexpr size_t kWrittenCharacterBytes = 12;
constexpr size_t kWrittenParameterSize = kWrittenCharacterBytes * kParameterCapacity + 1;

// Escapes the reader leaves as written in a string value: \uXXXX and the
// two-byte ones.
constexpr size_t kUnicodeEscapeLength = 6;
constexpr uint32_t kHighSurrogateFirst = 0xD800;
constexpr uint32_t kLowSurrogateFirst = 0xDC00;
constexpr uint32_t kSurrogateEnd = 0xE000;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code of a \uXXXX escape at text; false when there is none.
bool ReadUnicodeEscape(const char* text, uint32_t* code) {
    if (text[0] != '\\' || text[1] != 'u') return false;
    uint32_t value = 0;
    for (size_t i = 2; i < kUnicodeEscapeLength; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    *code = value;
    return true;
}

// Decodes the \uXXXX escape at *in (with its low surrogate escape when it is
// a high surrogate) into out; a lone surrogate becomes U+FFFD.
size_t DecodeUnicodeEscape(const char** in, char* out) {
    uint32_t code = 0;
    if (!ReadUnicodeEscape(*in, &code)) {
        *out = *(*in)++;  // not an escape after all: kept as written
        return 1;
    }
    *in += kUnicodeEscapeLength;
    uint32_t low = 0;
    if (code >= kHighSurrogateFirst && code < kLowSurrogateFirst && ReadUnicodeEscape(*in, &low) &&
        low >= kLowSurrogateFirst && low < kSurrogateEnd) {
        *in += kUnicodeEscapeLength;
        code = 0x10000 + ((code - kHighSurrogateFirst) << 10) + (low - kLowSurrogateFirst);
    } else if (code >= kHighSurrogateFirst && code < kSurrogateEnd) {
        code = kReplacementCharacter;
    }
    return JsonEncodeUtf8(code, out);
}

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
// in place: a decoded escape is never longer than the escape itself.
void DecodeEscapes(char* text) {
    const char* in = text;
    char* out = text;
    while (*in != '\0') {
        if (*in != '\\' || in[1] == '\0') {
            *out++ = *in++;
        } else if (in[1] == 'u') {
            out += DecodeUnicodeEscape(&in, out);
        } else {
            *out++ = TwoByteEscape(in[1]);
            in += 2;
        }
    }
    *out = '\0';
}

}  // namespace

int ScanText(const char* text, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int converted = std::vsscanf(text, format, arguments);
    va_end(arguments);
    return converted;
}

bool ReadInteger(const char** text, int32_t* value) {
    const char* p = *text;
    while (IsSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!IsDigit(*p)) return false;
    // Accumulate the magnitude as a negative number, which reaches INT32_MIN,
    // and stop growing it once it is out of range.
    int64_t magnitude = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(INT32_MAX) + 1;
    for (; IsDigit(*p); ++p) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (*p - '0');
    }
    if (negative) {
        *value = magnitude >= kLimit ? INT32_MIN : static_cast<int32_t>(-magnitude);
    } else {
        *value = magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
    }
    *text = p;
    return true;
}

bool ScanInteger(const char* text, int32_t* value) {
    return ReadInteger(&text, value);
}

bool GetParameter(const char* parameters, const char* name, char* value, uint32_t limit) {
    // The limit holds for the text the escapes stand for: a value the HTTP
    // library cut to its length may take more bytes as written.
    char written[kWrittenParameterSize];
    if (limit > kParameterCapacity) return false;
    if (!JsonGetValue(parameters, name, written, kWrittenCharacterBytes * limit)) return false;
    DecodeEscapes(written);
    if (JsonCountCharacters(written) > limit) return false;
    std::memcpy(value, written, std::strlen(written) + 1);
    return true;
}

bool GetIntegerParameter(const char* parameters, const char* name, int32_t* value) {
    char text[ParameterSize(kParameterCapacity)];
    return GetParameter(parameters, name, text, kParameterCapacity) && ScanInteger(text, value);
}

bool GetTimeParameter(const char* parameters, const char* name, int32_t* time) {
    char text[ParameterSize(kParameterCapacity)];
    return GetParameter(parameters, name, text, kParameterCapacity) && ParseTime(text, time);
}

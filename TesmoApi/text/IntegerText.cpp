#include "text/IntegerText.h"

#include <cstdarg>
#include <cstdio>

namespace {

// The whitespace that "%d" skips (isspace in the C locale).
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
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
    // The magnitude grows in 64 bits and stops growing once it is past the
    // 32-bit range, so any number of digits reads as a clamped value.
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

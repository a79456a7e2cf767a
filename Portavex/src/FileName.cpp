#include "FileName.h"

#include <cstring>

namespace portavex {

namespace {

const char kForbiddenCharacters[] = "\\:*?\"<>|";

const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
const char* const kNumberedDevices[] = {"COM", "LPT"};
constexpr size_t kNumberedDeviceLength = 3;

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(const char* text, size_t length, const char* upperWord) {
    if (std::strlen(upperWord) != length) return false;
    for (size_t i = 0; i < length; i++) {
        if (Upper(text[i]) != upperWord[i]) return false;
    }
    return true;
}

// Windows opens the device whatever extension follows the device name, and
// ignores blanks before that extension.
bool IsDeviceName(const char* segment, size_t length) {
    size_t base = 0;
    while (base < length && segment[base] != '.') base++;
    while (base > 0 && segment[base - 1] == ' ') base--;
    for (const char* device : kDeviceNames) {
        if (EqualsNoCase(segment, base, device)) return true;
    }
    if (base != kNumberedDeviceLength + 1) return false;
    char digit = segment[kNumberedDeviceLength];
    if (digit < '0' || digit > '9') return false;
    for (const char* device : kNumberedDevices) {
        if (EqualsNoCase(segment, kNumberedDeviceLength, device)) return true;
    }
    return false;
}

bool IsServableSegment(const char* segment, size_t length) {
    if (length == 0) return false;
    char last = segment[length - 1];
    if (last == '.' || last == ' ') return false;
    return !IsDeviceName(segment, length);
}

}  // namespace

bool IsServableName(const char* name) {
    for (const char* p = name; *p != '\0'; p++) {
        if (static_cast<unsigned char>(*p) < 0x20) return false;
        if (std::strchr(kForbiddenCharacters, *p) != nullptr) return false;
    }
    const char* segment = name;
    for (;;) {
        const char* end = std::strchr(segment, '/');
        size_t length = end != nullptr ? static_cast<size_t>(end - segment) : std::strlen(segment);
        if (!IsServableSegment(segment, length)) return false;
        if (end == nullptr) return true;
        segment = end + 1;
    }
}

}  // namespace portavex

#include "FileName.h"

#include <cstring>

namespace portavex {

namespace {

const char kForbiddenCharacters[] = "\\:*?\"<>|";

const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
const char* const kNumberedDevices[] = {"COM", "LPT"};
constexpr size_t kNumberedDeviceLength = 3;

// What editors put before a file's name for their swap, undo and
// auto-save files.
const char kCopyMarks[] = ".#";

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsLetterOrDigit(char c) {
    char upper = Upper(c);
    return (upper >= 'A' && upper <= 'Z') || (c >= '0' && c <= '9');
}

bool SameNoCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; i++) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

bool EqualsNoCase(const char* text, size_t length, const char* word) {
    return std::strlen(word) == length && SameNoCase(text, word, length);
}

bool StartsWithNoCase(const char* text, const char* prefix, size_t length) {
    return std::strlen(text) >= length && SameNoCase(text, prefix, length);
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

bool IsDot(const char* segment, size_t length) {
    return length == 1 && segment[0] == '.';
}

bool IsDotDot(const char* segment, size_t length) {
    return length == 2 && segment[0] == '.' && segment[1] == '.';
}

}  // namespace

bool IsServableName(const char* name) {
    for (const char* p = name; *p != '\0'; p++) {
        if (static_cast<unsigned char>(*p) < 0x20) return false;
        if (std::strchr(kForbiddenCharacters, *p) != nullptr) return false;
    }
    const char* segment = name;
    size_t depth = 0;  // folders below the root
    for (;;) {
        const char* end = std::strchr(segment, '/');
        size_t length = end != nullptr ? static_cast<size_t>(end - segment) : std::strlen(segment);
        bool dot = IsDot(segment, length);
        bool dotDot = IsDotDot(segment, length);
        // The last segment names the file itself.
        if (end == nullptr) return !dot && !dotDot && IsServableSegment(segment, length);
        if (dotDot) {
            if (depth == 0) return false;
            depth--;
        } else if (!dot) {
            if (!IsServableSegment(segment, length)) return false;
            depth++;
        }
        segment = end + 1;
    }
}

bool IsCopyOfName(const char* name, const char* hidden) {
    size_t hiddenLength = std::strlen(hidden);
    if (hiddenLength == 0) return false;
    if (StartsWithNoCase(name, hidden, hiddenLength)) return true;
    if (name[0] != '\0' && std::strchr(kCopyMarks, name[0]) != nullptr &&
        StartsWithNoCase(name + 1, hidden, hiddenLength)) {
        return true;
    }
    const char* dot = std::strrchr(hidden, '.');
    if (dot == nullptr || dot == hidden) return false;
    size_t stem = static_cast<size_t>(dot - hidden);
    size_t extension = hiddenLength - stem;
    size_t length = std::strlen(name);
    return length > stem + extension && SameNoCase(name, hidden, stem) &&
           !IsLetterOrDigit(name[stem]) && SameNoCase(name + length - extension, dot, extension);
}

}  // namespace portavex

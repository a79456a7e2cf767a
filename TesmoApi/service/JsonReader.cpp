#include "service/JsonReader.h"

#include <cstddef>
#include <cstring>

namespace {

// Internal result of skipping a container or resolving a path.
enum class eJsonScan {
    Incomplete = 0,
    Ok = 1,
    Invalid = 2,
    TooDeep = 3,
    NotFound = 4,
    BadPath = 6
};

// Containers open at once inside one value; the bracket stack lives on the stack.
constexpr int kMaxDepth = 32;
// An index above this value cannot take another decimal digit without
// passing the largest usable index, 2147483639.
constexpr uint32_t kMaxIndexBeforeDigit = 214748363;

constexpr uint32_t kHighSurrogateFirst = 0xD800;
constexpr uint32_t kHighSurrogateLast = 0xDBFF;
constexpr uint32_t kLowSurrogateFirst = 0xDC00;
constexpr uint32_t kLowSurrogateLast = 0xDFFF;
constexpr uint32_t kMaxCodePoint = 0x10FFFF;
// Bytes of a unicode escape: backslash, u and four hex digits.
constexpr size_t kEscapeLength = 6;

bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsCloser(char c) {
    return c == '}' || c == ']';
}

void SkipWhitespace(const char* text, size_t& pos, size_t end) {
    while (pos < end && IsWhitespace(text[pos])) ++pos;
}

bool HexDigitValue(char c, uint32_t& digit) {
    if (IsDigit(c)) {
        digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
        return false;
    }
    return true;
}

// Reads one backslash-u escape at pos. The string must go on after it (at
// least its closing quote), hence the strict bound.
bool JsonReadEscape(const char* text, size_t& pos, size_t end, uint32_t& code) {
    if (pos + kEscapeLength >= end || text[pos] != '\\' || text[pos + 1] != 'u') return false;
    uint32_t value = 0;
    for (size_t i = 2; i < kEscapeLength; ++i) {
        uint32_t digit;
        if (!HexDigitValue(text[pos + i], digit)) return false;
        value = value * 16 + digit;
    }
    pos += kEscapeLength;
    code = value;
    return true;
}

// A unicode escape, or a high surrogate escape with its low surrogate escape.
bool SkipUnicodeEscape(const char* text, size_t& pos, size_t end) {
    size_t p = pos;
    uint32_t code;
    if (!JsonReadEscape(text, p, end, code) || code == 0) return false;
    if (code >= kLowSurrogateFirst && code <= kLowSurrogateLast) return false;
    if (code >= kHighSurrogateFirst && code <= kHighSurrogateLast) {
        uint32_t low;
        if (!JsonReadEscape(text, p, end, low)) return false;
        if (low < kLowSurrogateFirst || low > kLowSurrogateLast) return false;
    }
    pos = p;
    return true;
}

bool IsTwoByteEscape(unsigned char c) {
    return c == '"' || c == '/' || c == '\\' || c == 'b' || c == 'f' || c == 'n' || c == 'r' ||
           c == 't' || (c >= 0x01 && c < 0x20);
}

// One well-formed UTF-8 sequence of 2 to 4 bytes: no overlong form, no
// surrogate, nothing above U+10FFFF.
bool SkipUtf8Sequence(const char* text, size_t& pos, size_t end) {
    static const uint32_t minimum[] = {0x80, 0x800, 0x10000};
    static const uint32_t maximum[] = {0x7FF, 0xFFFF, kMaxCodePoint};
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0xC2 || lead > 0xF4) return false;
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    uint32_t code = lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        if (pos + i >= end) return false;
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return false;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < minimum[length - 2] || code > maximum[length - 2]) return false;
    if (code >= kHighSurrogateFirst && code <= kLowSurrogateLast) return false;
    pos += length;
    return true;
}

// Validates the string token at pos and moves past its closing quote.
bool JsonSkipString(const char* text, size_t& pos, size_t end) {
    if (pos >= end || text[pos] != '"') return false;
    size_t p = pos + 1;
    while (p < end) {
        const auto c = static_cast<unsigned char>(text[p]);
        if (c == '"') {
            pos = p + 1;
            return true;
        }
        if (c == '\\') {
            if (p + 1 >= end) return false;
            const auto escaped = static_cast<unsigned char>(text[p + 1]);
            if (escaped == 'u') {
                if (!SkipUnicodeEscape(text, p, end)) return false;
            } else if (IsTwoByteEscape(escaped)) {
                p += 2;
            } else {
                return false;
            }
        } else if (c < 0x20) {
            return false;
        } else if (c < 0x80) {
            ++p;
        } else if (!SkipUtf8Sequence(text, p, end)) {
            return false;
        }
    }
    return false;
}

// Compares only the literal's bytes: what follows is the caller's business.
bool SkipLiteral(const char* text, size_t& pos, size_t end, const char* literal) {
    const size_t length = strlen(literal);
    if (end - pos < length || memcmp(text + pos, literal, length) != 0) return false;
    pos += length;
    return true;
}

void SkipDigits(const char* text, size_t& pos, size_t end) {
    while (pos < end && IsDigit(text[pos])) ++pos;
}

// A number ends where its grammar ends: "0123" is 0, "1." is 1, "1e" is 1.
bool SkipNumber(const char* text, size_t& pos, size_t end) {
    size_t p = pos;
    if (p < end && text[p] == '-') ++p;
    if (p >= end || !IsDigit(text[p])) return false;
    if (text[p] == '0') {
        ++p;
    } else {
        SkipDigits(text, p, end);
    }
    if (p + 1 < end && text[p] == '.' && IsDigit(text[p + 1])) {
        p += 2;
        SkipDigits(text, p, end);
    }
    if (p < end && (text[p] == 'e' || text[p] == 'E')) {
        size_t exponent = p + 1;
        if (exponent < end && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (exponent < end && IsDigit(text[exponent])) {
            p = exponent;
            SkipDigits(text, p, end);
        }
    }
    pos = p;
    return true;
}

bool JsonSkipScalar(const char* text, size_t& pos, size_t end) {
    if (pos >= end) return false;
    if (text[pos] == '"') return JsonSkipString(text, pos, end);
    return SkipLiteral(text, pos, end, "true") || SkipLiteral(text, pos, end, "false") ||
           SkipLiteral(text, pos, end, "null") || SkipNumber(text, pos, end);
}

// After a flat value at p: true with pos on the next entry when a comma and
// another entry follow. Otherwise pos stops where the run ends: on the byte
// after the value, or on a trailing comma (which the container loop rejects).
bool SkipSeparator(const char* text, size_t p, size_t end, size_t& pos) {
    SkipWhitespace(text, p, end);
    if (p >= end || text[p] != ',') {
        pos = p;
        return false;
    }
    const size_t comma = p++;
    SkipWhitespace(text, p, end);
    if (p >= end || IsCloser(text[p])) {
        pos = comma;
        return false;
    }
    pos = p;
    return true;
}

// Skips flat object members; stops at a nested container's bracket, at the
// end of the run, or at the start of a member it cannot read.
void JsonSkipMembers(const char* text, size_t& pos, size_t end) {
    for (;;) {
        size_t p = pos;
        if (!JsonSkipString(text, p, end)) return;
        SkipWhitespace(text, p, end);
        if (p >= end || text[p] != ':') return;
        ++p;
        SkipWhitespace(text, p, end);
        if (p < end && (text[p] == '{' || text[p] == '[')) {
            pos = p;
            return;
        }
        if (!JsonSkipScalar(text, p, end)) return;
        if (!SkipSeparator(text, p, end, pos)) return;
    }
}

// Skips flat array elements; a nested container stops the run on its bracket.
void JsonSkipElements(const char* text, size_t& pos, size_t end) {
    for (;;) {
        size_t p = pos;
        if (!JsonSkipScalar(text, p, end)) return;
        if (!SkipSeparator(text, p, end, pos)) return;
    }
}

void JsonSkipRun(const char* text, size_t& pos, size_t end, char opener) {
    SkipWhitespace(text, pos, end);
    if (opener == '{') {
        JsonSkipMembers(text, pos, end);
    } else {
        JsonSkipElements(text, pos, end);
    }
}

char CloserOf(char opener) {
    return opener == '{' ? '}' : ']';
}

// Skips one whole object or array starting at its opening bracket. Flat runs
// are skipped in bulk; brackets are tracked on a fixed stack of kMaxDepth.
eJsonScan JsonSkipContainer(const char* text, size_t& pos, size_t end) {
    char stack[kMaxDepth];
    int depth = 0;
    size_t p = pos;
    while (p < end) {
        const char c = text[p++];
        if (c == '[' || c == '{') {
            if (depth == kMaxDepth) return eJsonScan::TooDeep;
            stack[depth++] = c;
            JsonSkipRun(text, p, end, c);
            continue;
        }
        if (!IsCloser(c)) return eJsonScan::Invalid;
        if (depth == 0) return eJsonScan::Invalid;
        if (depth == 1) {
            pos = p;
            return eJsonScan::Ok;
        }
        if (c != CloserOf(stack[depth - 1])) return eJsonScan::Invalid;
        --depth;
        SkipWhitespace(text, p, end);
        if (p >= end) return eJsonScan::Incomplete;
        if (text[p] != ',') continue;
        ++p;
        SkipWhitespace(text, p, end);
        if (p < end && !IsCloser(text[p])) JsonSkipRun(text, p, end, stack[depth - 1]);
    }
    return eJsonScan::Incomplete;
}

// A scalar, or failing that a container that is complete and valid.
bool SkipValue(const char* text, size_t& pos, size_t end) {
    if (JsonSkipScalar(text, pos, end)) return true;
    return JsonSkipContainer(text, pos, end) == eJsonScan::Ok;
}

// One member: key string, colon, value. The key span excludes the quotes.
bool JsonReadMember(const char* text, size_t& pos, size_t end, size_t& keyStart, size_t& keyLength,
                    size_t& valueStart, size_t& valueLength) {
    size_t p = pos;
    if (!JsonSkipString(text, p, end)) return false;
    keyStart = pos + 1;
    keyLength = p - pos - 2;
    SkipWhitespace(text, p, end);
    if (p >= end || text[p] != ':') return false;
    ++p;
    SkipWhitespace(text, p, end);
    valueStart = p;
    if (!SkipValue(text, p, end)) return false;
    valueLength = p - valueStart;
    pos = p;
    return true;
}

// What one path segment looks for: a member key, or an element index.
struct strJsonTarget {
    char opener;  // '{' for a member, '[' for an element
    const char* key;
    size_t keyLength;
    uint32_t index;
};

// Reads the next entry at pos and tells whether it is the target.
bool ReadEntry(const char* text, size_t& pos, size_t end, const strJsonTarget& target,
               uint32_t count, size_t& valueStart, size_t& valueLength, bool& match) {
    if (target.opener == '[') {
        valueStart = pos;
        if (!SkipValue(text, pos, end)) return false;
        valueLength = pos - valueStart;
        match = count == target.index;
        return true;
    }
    size_t keyStart;
    size_t keyLength;
    if (!JsonReadMember(text, pos, end, keyStart, keyLength, valueStart, valueLength)) {
        return false;
    }
    match = keyLength == target.keyLength && memcmp(text + keyStart, target.key, keyLength) == 0;
    return true;
}

// Searches the object or array at the start of text[0, length) for the
// target; the first match wins and nothing after it is examined.
bool FindEntry(const char* text, size_t length, const strJsonTarget& target, size_t& valueStart,
               size_t& valueLength) {
    size_t p = 0;
    SkipWhitespace(text, p, length);
    if (p >= length || text[p] != target.opener) return false;
    ++p;
    SkipWhitespace(text, p, length);
    if (p >= length) return false;
    for (uint32_t count = 0;; ++count) {
        bool match = false;
        if (!ReadEntry(text, p, length, target, count, valueStart, valueLength, match)) {
            return false;
        }
        if (match) return true;
        SkipWhitespace(text, p, length);
        if (p >= length || text[p] != ',') return false;
        ++p;
        SkipWhitespace(text, p, length);
        if (p < length && IsCloser(text[p])) return false;
    }
}

// Reads "[digits]" at i into the target; false for a malformed index.
bool ParseIndexSegment(const char* path, size_t& i, size_t pathLength, strJsonTarget& target) {
    const size_t digitsStart = ++i;
    uint32_t index = 0;
    while (i < pathLength && IsDigit(path[i])) {
        if (index > kMaxIndexBeforeDigit) return false;
        index = index * 10 + static_cast<uint32_t>(path[i] - '0');
        ++i;
    }
    if (i == digitsStart || i >= pathLength || path[i] != ']') return false;
    ++i;
    target = {'[', nullptr, 0, index};
    return true;
}

// Reads a key at i into the target; false for an empty key or a key that is
// followed only by a final "." or "[".
bool ParseKeySegment(const char* path, size_t& i, size_t pathLength, strJsonTarget& target) {
    const size_t keyStart = i;
    while (i < pathLength && path[i] != '.' && path[i] != '[') ++i;
    if (i == keyStart || i + 1 == pathLength) return false;
    target = {'{', path + keyStart, i - keyStart, 0};
    return true;
}

// Resolves the path segment by segment; each search runs inside the span of
// the value found by the previous one.
eJsonScan JsonFindPath(const char* document, size_t length, const char* path, size_t pathLength,
                       size_t& offset, size_t& valueLength) {
    size_t spanStart = 0;
    size_t spanLength = length;
    size_t i = 0;
    while (i < pathLength) {
        strJsonTarget target;
        const bool parsed = path[i] == '[' ? ParseIndexSegment(path, i, pathLength, target)
                                           : ParseKeySegment(path, i, pathLength, target);
        if (!parsed) return eJsonScan::BadPath;
        size_t start;
        size_t found;
        if (!FindEntry(document + spanStart, spanLength, target, start, found)) {
            return eJsonScan::NotFound;
        }
        spanStart += start;
        spanLength = found;
        if (i < pathLength && path[i] == '.') ++i;
    }
    offset = spanStart;
    valueLength = spanLength;
    return eJsonScan::Ok;
}

}  // namespace

bool JsonGetValue(const char* document, const char* path, char* value, uint32_t capacity) {
    if (document == nullptr || path == nullptr || value == nullptr) return false;
    if (*document == '\0' || *path == '\0') return false;
    size_t offset;
    size_t length;
    if (JsonFindPath(document, strlen(document), path, strlen(path), offset, length) !=
        eJsonScan::Ok) {
        return false;
    }
    const char* start = document + offset;
    if (*start == '"') {
        ++start;
        length -= 2;
    }
    if (length > capacity) return false;
    memcpy(value, start, length);
    value[length] = '\0';
    return true;
}

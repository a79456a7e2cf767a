#include "service/JsonReader.h"

#include <cstddef>
#include <cstring>

#include "text/JsonText.h"

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

bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsCloser(char c) {
    return c == '}' || c == ']';
}

void SkipWhitespace(const char* text, size_t* pos, size_t end) {
    while (*pos < end && IsWhitespace(text[*pos])) ++*pos;
}

// A unicode escape at *pos, or a high surrogate escape with its low
// surrogate escape. The string must go on after it (at least its closing
// quote), hence the byte kept back from the bound.
bool SkipUnicodeEscape(const char* text, size_t* pos, size_t end) {
    uint32_t code = 0;
    const size_t length = ReadUnicodeEscape(text + *pos, end - *pos - 1, &code);
    if (length == 0 || code == 0 || IsSurrogate(code)) return false;
    *pos += length;
    return true;
}

bool IsTwoByteEscape(unsigned char c) {
    return c == '"' || c == '/' || c == '\\' || c == 'b' || c == 'f' || c == 'n' || c == 'r' ||
           c == 't' || (c >= 0x01 && c < 0x20);
}

// One well-formed UTF-8 sequence of 2 to 4 bytes.
bool SkipUtf8Sequence(const char* text, size_t* pos, size_t end) {
    const unsigned length = Utf8SequenceLength(text + *pos, end - *pos);
    if (length < 2) return false;
    *pos += length;
    return true;
}

// Validates the string token at *pos and moves past its closing quote.
bool JsonSkipString(const char* text, size_t* pos, size_t end) {
    if (*pos >= end || text[*pos] != '"') return false;
    size_t p = *pos + 1;
    while (p < end) {
        const auto c = static_cast<unsigned char>(text[p]);
        if (c == '"') {
            *pos = p + 1;
            return true;
        }
        if (c == '\\') {
            if (p + 1 >= end) return false;
            const auto escaped = static_cast<unsigned char>(text[p + 1]);
            if (escaped == 'u') {
                if (!SkipUnicodeEscape(text, &p, end)) return false;
            } else if (IsTwoByteEscape(escaped)) {
                p += 2;
            } else {
                return false;
            }
        } else if (c < 0x20) {
            return false;
        } else if (c < 0x80) {
            ++p;
        } else if (!SkipUtf8Sequence(text, &p, end)) {
            return false;
        }
    }
    return false;
}

// Compares only the literal's bytes: what follows is the caller's business.
bool SkipLiteral(const char* text, size_t* pos, size_t end, const char* literal) {
    const size_t length = strlen(literal);
    if (end - *pos < length || memcmp(text + *pos, literal, length) != 0) return false;
    *pos += length;
    return true;
}

void SkipDigits(const char* text, size_t* pos, size_t end) {
    while (*pos < end && IsDigit(text[*pos])) ++*pos;
}

// A number ends where its grammar ends: "0123" is 0, "1." is 1, "1e" is 1.
bool SkipNumber(const char* text, size_t* pos, size_t end) {
    size_t p = *pos;
    if (p < end && text[p] == '-') ++p;
    if (p >= end || !IsDigit(text[p])) return false;
    if (text[p] == '0') {
        ++p;
    } else {
        SkipDigits(text, &p, end);
    }
    if (p + 1 < end && text[p] == '.' && IsDigit(text[p + 1])) {
        p += 2;
        SkipDigits(text, &p, end);
    }
    if (p < end && (text[p] == 'e' || text[p] == 'E')) {
        size_t exponent = p + 1;
        if (exponent < end && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (exponent < end && IsDigit(text[exponent])) {
            p = exponent;
            SkipDigits(text, &p, end);
        }
    }
    *pos = p;
    return true;
}

bool JsonSkipScalar(const char* text, size_t* pos, size_t end) {
    if (*pos >= end) return false;
    if (text[*pos] == '"') return JsonSkipString(text, pos, end);
    return SkipLiteral(text, pos, end, "true") || SkipLiteral(text, pos, end, "false") ||
           SkipLiteral(text, pos, end, "null") || SkipNumber(text, pos, end);
}

// After a flat value at p: true with *pos on the next entry when a comma and
// another entry follow. Otherwise *pos stops where the run ends: on the byte
// after the value, or on a trailing comma (which the container loop rejects).
bool SkipSeparator(const char* text, size_t p, size_t end, size_t* pos) {
    SkipWhitespace(text, &p, end);
    if (p >= end || text[p] != ',') {
        *pos = p;
        return false;
    }
    const size_t comma = p++;
    SkipWhitespace(text, &p, end);
    if (p >= end || IsCloser(text[p])) {
        *pos = comma;
        return false;
    }
    *pos = p;
    return true;
}

// Skips flat object members; stops at a nested container's bracket, at the
// end of the run, or at the start of a member it cannot read.
void JsonSkipMembers(const char* text, size_t* pos, size_t end) {
    for (;;) {
        size_t p = *pos;
        if (!JsonSkipString(text, &p, end)) return;
        SkipWhitespace(text, &p, end);
        if (p >= end || text[p] != ':') return;
        ++p;
        SkipWhitespace(text, &p, end);
        if (p < end && (text[p] == '{' || text[p] == '[')) {
            *pos = p;
            return;
        }
        if (!JsonSkipScalar(text, &p, end)) return;
        if (!SkipSeparator(text, p, end, pos)) return;
    }
}

// Skips flat array elements; a nested container stops the run on its bracket.
void JsonSkipElements(const char* text, size_t* pos, size_t end) {
    for (;;) {
        size_t p = *pos;
        if (!JsonSkipScalar(text, &p, end)) return;
        if (!SkipSeparator(text, p, end, pos)) return;
    }
}

void JsonSkipRun(const char* text, size_t* pos, size_t end, char opener) {
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
eJsonScan JsonSkipContainer(const char* text, size_t* pos, size_t end) {
    char stack[kMaxDepth];
    int depth = 0;
    size_t p = *pos;
    while (p < end) {
        const char c = text[p++];
        if (c == '[' || c == '{') {
            if (depth == kMaxDepth) return eJsonScan::TooDeep;
            stack[depth++] = c;
            JsonSkipRun(text, &p, end, c);
            continue;
        }
        if (!IsCloser(c)) return eJsonScan::Invalid;
        if (depth == 0) return eJsonScan::Invalid;
        if (depth == 1) {
            *pos = p;
            return eJsonScan::Ok;
        }
        if (c != CloserOf(stack[depth - 1])) return eJsonScan::Invalid;
        --depth;
        SkipWhitespace(text, &p, end);
        if (p >= end) return eJsonScan::Incomplete;
        if (text[p] != ',') continue;
        ++p;
        SkipWhitespace(text, &p, end);
        if (p < end && !IsCloser(text[p])) JsonSkipRun(text, &p, end, stack[depth - 1]);
    }
    return eJsonScan::Incomplete;
}

// A scalar, or failing that a container that is complete and valid.
bool SkipValue(const char* text, size_t* pos, size_t end) {
    if (JsonSkipScalar(text, pos, end)) return true;
    return JsonSkipContainer(text, pos, end) == eJsonScan::Ok;
}

// Where a member's key or value lies in the text (a key without its quotes).
struct strJsonSpan {
    size_t start;
    size_t length;
};

// One member: key string, colon, value.
bool JsonReadMember(const char* text, size_t* pos, size_t end, strJsonSpan* key,
                    strJsonSpan* value) {
    size_t p = *pos;
    if (!JsonSkipString(text, &p, end)) return false;
    key->start = *pos + 1;
    key->length = p - *pos - 2;
    SkipWhitespace(text, &p, end);
    if (p >= end || text[p] != ':') return false;
    ++p;
    SkipWhitespace(text, &p, end);
    value->start = p;
    if (!SkipValue(text, &p, end)) return false;
    value->length = p - value->start;
    *pos = p;
    return true;
}

// What one path segment looks for: a member key, or an element index.
struct strJsonTarget {
    char opener;  // '{' for a member, '[' for an element
    const char* key;
    size_t keyLength;
    uint32_t index;
};

// Reads the next entry at *pos into *value and tells whether it is the target.
bool ReadEntry(const char* text, size_t* pos, size_t end, const strJsonTarget& target,
               uint32_t count, strJsonSpan* value, bool* match) {
    if (target.opener == '[') {
        value->start = *pos;
        if (!SkipValue(text, pos, end)) return false;
        value->length = *pos - value->start;
        *match = count == target.index;
        return true;
    }
    strJsonSpan key;
    if (!JsonReadMember(text, pos, end, &key, value)) return false;
    *match =
        key.length == target.keyLength && memcmp(text + key.start, target.key, key.length) == 0;
    return true;
}

// Searches the object or array at the start of text[0, length) for the
// target; the first match wins and nothing after it is examined.
bool FindEntry(const char* text, size_t length, const strJsonTarget& target, strJsonSpan* value) {
    size_t p = 0;
    SkipWhitespace(text, &p, length);
    if (p >= length || text[p] != target.opener) return false;
    ++p;
    SkipWhitespace(text, &p, length);
    if (p >= length) return false;
    for (uint32_t count = 0;; ++count) {
        bool match = false;
        if (!ReadEntry(text, &p, length, target, count, value, &match)) return false;
        if (match) return true;
        SkipWhitespace(text, &p, length);
        if (p >= length || text[p] != ',') return false;
        ++p;
        SkipWhitespace(text, &p, length);
        if (p < length && IsCloser(text[p])) return false;
    }
}

// Reads "[digits]" at *i into the target; false for a malformed index.
bool ParseIndexSegment(const char* path, size_t* i, size_t pathLength, strJsonTarget* target) {
    const size_t digitsStart = ++*i;
    uint32_t index = 0;
    while (*i < pathLength && IsDigit(path[*i])) {
        if (index > kMaxIndexBeforeDigit) return false;
        index = index * 10 + static_cast<uint32_t>(path[*i] - '0');
        ++*i;
    }
    if (*i == digitsStart || *i >= pathLength || path[*i] != ']') return false;
    ++*i;
    *target = {'[', nullptr, 0, index};
    return true;
}

// Reads a key at *i into the target; false for an empty key or a key that is
// followed only by a final "." or "[".
bool ParseKeySegment(const char* path, size_t* i, size_t pathLength, strJsonTarget* target) {
    const size_t keyStart = *i;
    while (*i < pathLength && path[*i] != '.' && path[*i] != '[') ++*i;
    if (*i == keyStart || *i + 1 == pathLength) return false;
    *target = {'{', path + keyStart, *i - keyStart, 0};
    return true;
}

// Resolves the path segment by segment; each search runs inside the span of
// the value found by the previous one.
eJsonScan JsonFindPath(const char* document, size_t length, const char* path, size_t pathLength,
                       strJsonSpan* value) {
    strJsonSpan span = {0, length};
    size_t i = 0;
    while (i < pathLength) {
        strJsonTarget target;
        const bool parsed = path[i] == '[' ? ParseIndexSegment(path, &i, pathLength, &target)
                                           : ParseKeySegment(path, &i, pathLength, &target);
        if (!parsed) return eJsonScan::BadPath;
        strJsonSpan found;
        if (!FindEntry(document + span.start, span.length, target, &found)) {
            return eJsonScan::NotFound;
        }
        span = {span.start + found.start, found.length};
        if (i < pathLength && path[i] == '.') ++i;
    }
    *value = span;
    return eJsonScan::Ok;
}

}  // namespace

bool JsonGetValue(const char* document, const char* path, char* value, uint32_t capacity) {
    if (document == nullptr || path == nullptr || value == nullptr) return false;
    if (*document == '\0' || *path == '\0') return false;
    strJsonSpan span;
    if (JsonFindPath(document, strlen(document), path, strlen(path), &span) != eJsonScan::Ok) {
        return false;
    }
    const char* start = document + span.start;
    size_t length = span.length;
    if (*start == '"') {
        ++start;
        length -= 2;
    }
    if (length > capacity) return false;
    memcpy(value, start, length);
    value[length] = '\0';
    return true;
}

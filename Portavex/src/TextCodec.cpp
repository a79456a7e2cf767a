#include "TextCodec.h"

namespace portavex {

namespace {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; the bytes
// Windows leaves undefined map to the C1 control of the same value.
const uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr unsigned char kWindows1252HighFirst = 0x80;
constexpr unsigned char kWindows1252HighEnd = 0xA0;

constexpr uint32_t kMaxCodePoint = 0x10FFFF;
constexpr uint32_t kSurrogateFirst = 0xD800;
constexpr uint32_t kSurrogateLast = 0xDFFF;

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

unsigned Utf8SequenceLength(const char* text, size_t length) {
    if (length == 0) return 0;
    unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return 1;
    unsigned count;
    uint32_t code;
    uint32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        count = 2, code = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, code = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, code = lead & 0x07u, minimum = 0x10000;
    } else {
        return 0;
    }
    if (count > length) return 0;
    for (unsigned i = 1; i < count; i++) {
        unsigned char next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < minimum || code > kMaxCodePoint) return 0;
    if (code >= kSurrogateFirst && code <= kSurrogateLast) return 0;
    return count;
}

bool IsUtf8(const char* text, size_t length) {
    for (size_t i = 0; i < length;) {
        unsigned step = Utf8SequenceLength(text + i, length - i);
        if (step == 0) return false;
        i += step;
    }
    return true;
}

uint32_t Windows1252CodePoint(unsigned char byte) {
    if (byte >= kWindows1252HighFirst && byte < kWindows1252HighEnd) {
        return kWindows1252High[byte - kWindows1252HighFirst];
    }
    return byte;
}

unsigned EncodeUtf8(uint32_t code, char* out) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

unsigned JsonEscapeByte(unsigned char byte, char* out) {
    static const char kHex[] = "0123456789abcdef";
    if (byte >= 0x20 && byte != '"' && byte != '\\') return 0;
    out[0] = '\\';
    switch (byte) {
        case '"':
        case '\\':
            out[1] = static_cast<char>(byte);
            return 2;
        case '\b':
            out[1] = 'b';
            return 2;
        case '\f':
            out[1] = 'f';
            return 2;
        case '\n':
            out[1] = 'n';
            return 2;
        case '\r':
            out[1] = 'r';
            return 2;
        case '\t':
            out[1] = 't';
            return 2;
        default:
            break;
    }
    out[1] = 'u';
    out[2] = '0';
    out[3] = '0';
    out[4] = kHex[byte >> 4];
    out[5] = kHex[byte & 0xF];
    return kMaxEscapeBytes;
}

}  // namespace portavex

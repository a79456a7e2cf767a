// Reading texts of unknown encoding as UTF-8, cutting them to a number of
// characters and escaping them for JSON strings.
#include "api/JsonOutput.h"

#include <cstddef>

namespace {

// Code points of the Windows-1252 bytes 0x80..0x9F; the five bytes the code
// page leaves undefined map to the C1 control of the same value, as Windows
// itself converts them. Bytes 0xA0..0xFF are their own code points.
const uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr unsigned kMaxUtf8Bytes = 4;
constexpr unsigned kMaxEscapeBytes = 6;  // \u00XX

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at text, or 0 when there is none.
// The terminator is not a continuation byte, so this never reads past it.
unsigned Utf8SequenceLength(const unsigned char* text) {
    const unsigned char lead = text[0];
    if (lead < 0x80) return 1;
    unsigned length;
    uint32_t codePoint;
    uint32_t smallest;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1Fu, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0Fu, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07u, smallest = 0x10000;
    } else {
        return 0;
    }
    for (unsigned i = 1; i < length; ++i) {
        if (!IsContinuation(text[i])) return 0;
        codePoint = (codePoint << 6) | (text[i] & 0x3Fu);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    return length;
}

uint32_t Windows1252CodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
    return byte;
}

// The JSON form of one character when it must be escaped; 0 when not.
unsigned EscapeCharacter(unsigned char byte, char* out) {
    static const char kHex[] = "0123456789abcdef";
    char shortForm = 0;
    switch (byte) {
        case '"':
            shortForm = '"';
            break;
        case '\\':
            shortForm = '\\';
            break;
        case '\b':
            shortForm = 'b';
            break;
        case '\f':
            shortForm = 'f';
            break;
        case '\n':
            shortForm = 'n';
            break;
        case '\r':
            shortForm = 'r';
            break;
        case '\t':
            shortForm = 't';
            break;
        default:
            break;
    }
    if (shortForm != 0) {
        out[0] = '\\';
        out[1] = shortForm;
        return 2;
    }
    if (byte >= 0x20) return 0;
    out[0] = '\\';
    out[1] = 'u';
    out[2] = '0';
    out[3] = '0';
    out[4] = kHex[byte >> 4];
    out[5] = kHex[byte & 0xF];
    return 6;
}

// The next character of text as UTF-8 (escaped when asked): its bytes go to
// piece, the return value is their count, and consumed is set to the bytes of
// text it stood for.
unsigned NextCharacter(const unsigned char* text, bool utf8, bool escape, char* piece,
                       unsigned* consumed) {
    if (escape) {
        const unsigned escaped = EscapeCharacter(text[0], piece);
        if (escaped != 0) {
            *consumed = 1;
            return escaped;
        }
    }
    if (utf8) {
        const unsigned length = Utf8SequenceLength(text);
        for (unsigned i = 0; i < length && i < kMaxUtf8Bytes; ++i)
            piece[i] = static_cast<char>(text[i]);
        *consumed = length;
        return length;
    }
    *consumed = 1;
    return JsonEncodeUtf8(Windows1252CodePoint(text[0]), piece);
}

}  // namespace

unsigned JsonEncodeUtf8(uint32_t codePoint, char* out) {
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

bool JsonIsUtf8(const char* text) {
    if (text == nullptr) return true;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const unsigned length = Utf8SequenceLength(p);
        if (length == 0) return false;
        p += length;
    }
    return true;
}

uint32_t JsonCountCharacters(const char* text) {
    if (text == nullptr) return 0;
    const bool utf8 = JsonIsUtf8(text);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    uint32_t characters = 0;
    for (; *p != 0; ++characters) p += utf8 ? Utf8SequenceLength(p) : 1;
    return characters;
}

namespace {

// True for a byte that stands for itself whatever the encoding of its text
// and needs no escape: ASCII other than the terminator (and, when escaping,
// other than the controls, the quote and the backslash).
bool IsPlainAscii(unsigned char byte, bool escape) {
    if (byte == 0 || byte >= 0x80) return false;
    return !escape || (byte >= 0x20 && byte != '"' && byte != '\\');
}

}  // namespace

uint32_t JsonConvertText(const char* text, uint32_t maxCharacters, bool escape, char* out,
                         uint32_t outSize) {
    if (out != nullptr && outSize == 0) return 0;
    if (text == nullptr) text = "";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    // The plain ASCII start of the text is copied as it stands; it is valid
    // UTF-8 and Windows-1252 alike, so the rest decides how the text is read.
    uint32_t written = 0;
    uint32_t characters = 0;
    const uint32_t room = out == nullptr ? kJsonNoCut : outSize - 1;
    for (; characters < maxCharacters && written < room && IsPlainAscii(*p, escape); ++characters) {
        if (out != nullptr) out[written] = static_cast<char>(*p);
        ++written;
        ++p;
    }
    const bool utf8 = JsonIsUtf8(reinterpret_cast<const char*>(p));
    for (; *p != 0 && characters < maxCharacters; ++characters) {
        char piece[kMaxEscapeBytes > kMaxUtf8Bytes ? kMaxEscapeBytes : kMaxUtf8Bytes];
        unsigned consumed = 0;
        const unsigned length = NextCharacter(p, utf8, escape, piece, &consumed);
        if (out != nullptr) {
            if (length > outSize - 1 - written) break;
            for (unsigned i = 0; i < length; ++i) out[written + i] = piece[i];
        }
        written += length;
        p += consumed;
    }
    if (out != nullptr) out[written] = 0;
    return written;
}

uint32_t JsonReadText(const char* text, uint32_t maxCharacters, char* out, uint32_t outSize) {
    return JsonConvertText(text, maxCharacters, false, out, outSize);
}

uint32_t JsonEscapeText(const char* text, char* out, uint32_t outSize) {
    return JsonConvertText(text, kJsonNoCut, true, out, outSize);
}

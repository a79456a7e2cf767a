// Reading texts of unknown encoding as UTF-8, cutting them to a number of
// characters and escaping them for JSON strings, and the UTF-8 and escape
// pieces the readers share.
#include "text/JsonText.h"

#include <cstring>

namespace {

// Code points of the Windows-1252 bytes 0x80..0x9F; the five bytes the code
// page leaves undefined map to the C1 control of the same value, as Windows
// itself converts them. Bytes 0xA0..0xFF are their own code points.
const uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
constexpr unsigned char kWindows1252HighFirst = 0x80;
constexpr unsigned char kWindows1252HighEnd = 0xA0;

constexpr uint32_t kMaxCodePoint = 0x10FFFF;
constexpr uint32_t kHighSurrogateFirst = 0xD800;
constexpr uint32_t kLowSurrogateFirst = 0xDC00;
constexpr uint32_t kSurrogateEnd = 0xE000;
constexpr uint32_t kFirstSupplementary = 0x10000;
constexpr unsigned kSurrogateBits = 10;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool IsHighSurrogate(uint32_t code) {
    return code >= kHighSurrogateFirst && code < kLowSurrogateFirst;
}

bool IsLowSurrogate(uint32_t code) {
    return code >= kLowSurrogateFirst && code < kSurrogateEnd;
}

// The code of the four hex digits of a \uXXXX escape at text (length bytes
// available); false when there is no such escape.
bool ReadOneEscape(const char* text, size_t length, uint32_t* code) {
    if (length < kUnicodeEscapeLength || text[0] != '\\' || text[1] != 'u') return false;
    uint32_t value = 0;
    for (size_t i = 2; i < kUnicodeEscapeLength; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    *code = value;
    return true;
}

// The next character of text as UTF-8 (escaped when asked): its bytes go to
// piece, the return value is their count, and consumed is set to the bytes of
// text it stood for.
unsigned NextCharacter(const char* text, size_t length, bool utf8, bool escape, char* piece,
                       unsigned* consumed) {
    const unsigned char byte = static_cast<unsigned char>(text[0]);
    if (escape) {
        const unsigned escaped = JsonEscapeByte(byte, piece);
        if (escaped != 0) {
            *consumed = 1;
            return escaped;
        }
    }
    if (utf8) {
        const unsigned sequence = Utf8SequenceLength(text, length);
        std::memcpy(piece, text, sequence);
        *consumed = sequence;
        return sequence;
    }
    *consumed = 1;
    return JsonEncodeUtf8(Windows1252CodePoint(byte), piece);
}

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

unsigned Utf8SequenceLength(const char* text, size_t length) {
    uint32_t codePoint;
    return Utf8Decode(text, length, &codePoint);
}

unsigned Utf8Decode(const char* text, size_t length, uint32_t* decoded) {
    if (length == 0) return 0;
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        *decoded = lead;
        return 1;
    }
    unsigned sequence;
    uint32_t codePoint;
    uint32_t smallest;
    if (lead >= 0xC2 && lead <= 0xDF) {
        sequence = 2, codePoint = lead & 0x1Fu, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        sequence = 3, codePoint = lead & 0x0Fu, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        sequence = 4, codePoint = lead & 0x07u, smallest = kFirstSupplementary;
    } else {
        return 0;
    }
    if (sequence > length) return 0;
    for (unsigned i = 1; i < sequence; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(next)) return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < smallest || codePoint > kMaxCodePoint || IsSurrogate(codePoint)) return 0;
    *decoded = codePoint;
    return sequence;
}

uint32_t Windows1252CodePoint(unsigned char byte) {
    if (byte >= kWindows1252HighFirst && byte < kWindows1252HighEnd) {
        return kWindows1252High[byte - kWindows1252HighFirst];
    }
    return byte;
}

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
    if (codePoint < kFirstSupplementary) {
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

unsigned JsonEscapeByte(unsigned char byte, char* out) {
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
    return kMaxEscapeBytes;
}

bool IsSurrogate(uint32_t code) {
    return code >= kHighSurrogateFirst && code < kSurrogateEnd;
}

size_t ReadUnicodeEscape(const char* text, size_t length, uint32_t* code) {
    uint32_t first;
    if (!ReadOneEscape(text, length, &first)) return 0;
    uint32_t low;
    if (IsHighSurrogate(first) &&
        ReadOneEscape(text + kUnicodeEscapeLength, length - kUnicodeEscapeLength, &low) &&
        IsLowSurrogate(low)) {
        *code = kFirstSupplementary + ((first - kHighSurrogateFirst) << kSurrogateBits) +
                (low - kLowSurrogateFirst);
        return 2 * kUnicodeEscapeLength;
    }
    *code = first;
    return kUnicodeEscapeLength;
}

namespace {

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
    return c;  // \" \\ and \/ stand for themselves, as does a control byte
}

}  // namespace

void JsonDecodeEscapes(char* text) {
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

bool JsonIsUtf8(const char* text) {
    if (text == nullptr) return true;
    const char* end = text + std::strlen(text);
    for (const char* p = text; p < end;) {
        const unsigned sequence = Utf8SequenceLength(p, static_cast<size_t>(end - p));
        if (sequence == 0) return false;
        p += sequence;
    }
    return true;
}

uint32_t JsonCountCharacters(const char* text) {
    if (text == nullptr) return 0;
    if (!JsonIsUtf8(text)) return static_cast<uint32_t>(std::strlen(text));
    const char* end = text + std::strlen(text);
    uint32_t characters = 0;
    for (const char* p = text; p < end; ++characters) {
        p += Utf8SequenceLength(p, static_cast<size_t>(end - p));
    }
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
    const char* end = text + std::strlen(text);
    const char* p = text;
    // The plain ASCII start of the text is copied as it stands; it is valid
    // UTF-8 and Windows-1252 alike, so the rest decides how the text is read.
    uint32_t written = 0;
    uint32_t characters = 0;
    const uint32_t room = out == nullptr ? kJsonNoCut : outSize - 1;
    for (; characters < maxCharacters && written < room &&
           IsPlainAscii(static_cast<unsigned char>(*p), escape);
         ++characters) {
        if (out != nullptr) out[written] = *p;
        ++written;
        ++p;
    }
    const bool utf8 = JsonIsUtf8(p);
    for (; p < end && characters < maxCharacters; ++characters) {
        char piece[kMaxEscapeBytes > kMaxUtf8Bytes ? kMaxEscapeBytes : kMaxUtf8Bytes];
        unsigned consumed = 0;
        const unsigned length =
            NextCharacter(p, static_cast<size_t>(end - p), utf8, escape, piece, &consumed);
        if (out != nullptr) {
            if (length > outSize - 1 - written) break;
            std::memcpy(out + written, piece, length);
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

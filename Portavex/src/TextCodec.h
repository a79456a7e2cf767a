// The library's text codec: how a query's bytes are read as UTF-8 (valid
// UTF-8 is kept, any other text is read as Windows-1252, one character per
// byte) and escaped for JSON strings, and the hexadecimal digits of
// percent-encoding. The library links nothing of the service, so this is its
// own copy of the service's codec (TesmoApi/text/JsonText.h); one table of
// cases runs against both.
#pragma once

#include <cstddef>
#include <cstdint>

namespace portavex {

// Longest UTF-8 sequence and longest JSON escape of one byte (\u00XX).
constexpr unsigned kMaxUtf8Bytes = 4;
constexpr unsigned kMaxEscapeBytes = 6;

// c in lower case when it is an ASCII capital letter; c otherwise. Inline:
// the request framer calls it for every byte of a header name.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a hexadecimal digit (0-9, a-f, A-F); -1 for any other character.
int HexDigitValue(char c);

// Length (1 to 4) of the well-formed UTF-8 sequence that starts text[0,
// length): no overlong form, no surrogate, nothing above U+10FFFF. 0 when
// there is none, also when the sequence is cut short by the end.
unsigned Utf8SequenceLength(const char* text, size_t length);

// True when text[0, length) is valid UTF-8 throughout.
bool IsUtf8(const char* text, size_t length);

// The code point of a Windows-1252 byte. The five bytes the code page leaves
// undefined map to the C1 control of the same value, as Windows converts them.
uint32_t Windows1252CodePoint(unsigned char byte);

// Writes codePoint (at most U+10FFFF, any plane) as UTF-8 at out
// (kMaxUtf8Bytes of room); returns the bytes written (1 to 4).
unsigned EncodeUtf8(uint32_t codePoint, char* out);

// The JSON escape of one byte into out (kMaxEscapeBytes of room): \" \\ \b \f
// \n \r \t, or \u00XX for the other control characters below 0x20. Returns
// its length; 0 for a byte that stands for itself.
unsigned JsonEscapeByte(unsigned char byte, char* out);

}  // namespace portavex

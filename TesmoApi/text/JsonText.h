// The service's text codec. Texts from the monitoring server and the request
// come in an unknown encoding: valid UTF-8 is kept as it is, and any other
// text is read as Windows-1252, one character per byte. The writer cuts such
// texts to a number of characters and escapes them for JSON strings; the JSON
// reader and the parameter reading check and decode UTF-8 sequences and
// \uXXXX escapes with the same pieces.
//
// The HTTP library links nothing of the service and keeps its own copy of the
// pieces (Portavex/src/TextCodec.h); one table of cases runs against both.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest UTF-8 sequence, longest JSON escape of one byte (\u00XX) and the
// length of a \uXXXX escape.
constexpr unsigned kMaxUtf8Bytes = 4;
constexpr unsigned kMaxEscapeBytes = 6;
constexpr size_t kUnicodeEscapeLength = 6;

// Worst-case bytes of a text cut to n characters once read as UTF-8, and once
// escaped as well, both with the terminator.
constexpr unsigned JsonUtf8Size(unsigned characters) {
    return characters * kMaxUtf8Bytes + 1;
}
constexpr unsigned JsonEscapedSize(unsigned characters) {
    return characters * kMaxEscapeBytes + 1;
}

// No cut: every character of the text is kept.
constexpr uint32_t kJsonNoCut = 0xFFFFFFFFu;

// The value of a hexadecimal digit (0-9, a-f, A-F); -1 for any other character.
int HexDigitValue(char c);

// Length (1 to 4) of the well-formed UTF-8 sequence that starts text[0,
// length): no overlong form, no surrogate, nothing above U+10FFFF. 0 when
// there is none, also when the sequence is cut short by the end.
unsigned Utf8SequenceLength(const char* text, size_t length);
// Utf8SequenceLength, also leaving the sequence's code point in *codePoint
// when there is one.
unsigned Utf8Decode(const char* text, size_t length, uint32_t* codePoint);

// The code point of a Windows-1252 byte. The five bytes the code page leaves
// undefined map to the C1 control of the same value, as Windows converts them.
uint32_t Windows1252CodePoint(unsigned char byte);

// Writes codePoint (at most U+10FFFF) as UTF-8 at out (kMaxUtf8Bytes of room);
// returns the bytes written (1 to 4).
unsigned JsonEncodeUtf8(uint32_t codePoint, char* out);

// The JSON escape of one byte into out (kMaxEscapeBytes of room): \" \\ \b \f
// \n \r \t, or \u00XX for the other control characters below 0x20. Returns
// its length; 0 for a byte that stands for itself.
unsigned JsonEscapeByte(unsigned char byte, char* out);

// True for the code points U+D800 to U+DFFF, which only pair up in UTF-16.
bool IsSurrogate(uint32_t code);

// Reads the \uXXXX escape that starts text[0, length) into *code; a high
// surrogate escape followed by a low surrogate escape is read as the pair and
// combined. A lone surrogate is left as it is, for the caller to refuse or
// replace. Returns the bytes read (6, or 12 for a pair); 0, with *code
// untouched, when text does not start with a \uXXXX escape.
size_t ReadUnicodeEscape(const char* text, size_t length, uint32_t* code);

// Turns the escapes of a JSON string value as written (without its quotes)
// into the characters they stand for, in place, as UTF-8: a decoded escape is
// never longer than the escape itself. A lone surrogate becomes U+FFFD; a
// backslash without an escape after it is kept.
void JsonDecodeEscapes(char* text);

// True when the whole text is valid UTF-8; a null text is.
bool JsonIsUtf8(const char* text);

// Characters of text as JsonReadText reads it: UTF-8 sequences of a valid
// UTF-8 text, bytes of any other. Each takes at most 4 bytes once read.
uint32_t JsonCountCharacters(const char* text);

// Reads text (valid UTF-8 kept, any other text read as Windows-1252), keeps at
// most maxCharacters characters, and never part of one, and escapes them when
// asked. out holds outSize bytes (at least 1) and is always terminated; a
// character that would not fit ends the text. Returns the number of bytes
// written. With out null nothing is written and the full length of the result
// is returned (to size a buffer beforehand). A null text gives the empty text.
uint32_t JsonConvertText(const char* text, uint32_t maxCharacters, bool escape, char* out,
                         uint32_t outSize);

// JsonConvertText without escaping: the text as the writer prints it.
uint32_t JsonReadText(const char* text, uint32_t maxCharacters, char* out, uint32_t outSize);

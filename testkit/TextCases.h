// One table of cases for the text codec. The service and the HTTP library
// each keep a codec of their own (the library links nothing of the service);
// both must read UTF-8 and Windows-1252, encode code points and escape bytes
// exactly alike, so the tests of both run this same table.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The codec under test, as functions of the same contract in both.
struct strTextCodec {
    unsigned (*utf8SequenceLength)(const char* text, size_t length);
    unsigned (*encodeUtf8)(uint32_t codePoint, char* out);
    uint32_t (*windows1252CodePoint)(unsigned char byte);
    unsigned (*escapeByte)(unsigned char byte, char* out);
    int (*hexDigitValue)(char c);
};

namespace text_cases {

// The bytes of a case are all there unless a case says how many are.
constexpr size_t kWhole = ~static_cast<size_t>(0);

// Every case's bytes after its first sequence are plain ASCII, so a text of
// the whole bytes is valid UTF-8 exactly when length is not 0.
struct strSequenceCase {
    const char* bytes;
    unsigned length;  // of the sequence the bytes start with; 0: none
    size_t available = kWhole;
};
inline const strSequenceCase kSequences[] = {
    {"A", 1},
    {"\x7F", 1},
    {"\xC2\x80", 2},          // smallest 2-byte code
    {"\xC3\xA9", 2},          // e acute
    {"\xDF\xBF", 2},          // largest 2-byte code
    {"\xE0\xA0\x80", 3},      // smallest 3-byte code
    {"\xE2\x82\xAC", 3},      // euro sign
    {"\xEF\xBF\xBF", 3},      // largest 3-byte code
    {"\xF0\x90\x80\x80", 4},  // smallest 4-byte code
    {"\xF0\x9F\x98\x80", 4},  // an emoji
    {"\xF4\x8F\xBF\xBF", 4},  // U+10FFFF
    {"\xC3\xA9tail", 2},      // only the first sequence counts
    {"Bomba Impulsi\xC3\xB3n", 1},
    {"\xC0\x80", 0},          // overlong NUL
    {"\xC0\xAF", 0},          // overlong lead
    {"\xC1\xBF", 0},          // overlong lead
    {"\xE0\x80\xAF", 0},      // overlong 3 bytes
    {"\xE0\x9F\xBF", 0},      // overlong U+07FF
    {"\xF0\x8F\xBF\xBF", 0},  // overlong 4 bytes
    {"\xED\xA0\x80", 0},      // encoded high surrogate
    {"\xED\xBF\xBF", 0},      // encoded low surrogate
    {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
    {"\xF5\x80\x80\x80", 0},  // lead above 0xF4
    {"\xF8\x88\x80\x80", 0},  // 5-byte lead
    {"\xFF", 0},
    {"\x80", 0},             // lone continuation byte
    {"\xA9", 0},             // lone continuation byte
    {"\xE9t\xE9", 0},        // Windows-1252 text
    {"\xC3", 0},             // cut short by the end of the text
    {"\xE2\x82", 0},         // cut short by the end of the text
    {"\xC3\x28", 0},         // second byte not a continuation
    {"\xE2\x28\xA1", 0},     // second byte not a continuation
    {"\xE2\x82\xAC", 0, 2},  // cut short by the end of what may be read
    {"A", 0, 0},             // nothing may be read
};

struct strEncodeCase {
    uint32_t codePoint;
    const char* utf8;
};
inline const strEncodeCase kEncodings[] = {
    {0x41, "A"},
    {0x7F, "\x7F"},
    {0x80, "\xC2\x80"},
    {0xE9, "\xC3\xA9"},
    {0x7FF, "\xDF\xBF"},
    {0x800, "\xE0\xA0\x80"},
    {0x20AC, "\xE2\x82\xAC"},
    {0xFFFD, "\xEF\xBF\xBD"},
    {0xFFFF, "\xEF\xBF\xBF"},
    {0x10000, "\xF0\x90\x80\x80"},
    {0x1F600, "\xF0\x9F\x98\x80"},
    {0x10FFFF, "\xF4\x8F\xBF\xBF"},
};

struct strWindows1252Case {
    unsigned char byte;
    uint32_t codePoint;
};
inline const strWindows1252Case kWindows1252[] = {
    {0x41, 0x41},  {0x7F, 0x7F}, {0x80, 0x20AC}, {0x81, 0x81},   {0x82, 0x201A}, {0x8A, 0x160},
    {0x8D, 0x8D},  {0x8F, 0x8F}, {0x90, 0x90},   {0x93, 0x201C}, {0x99, 0x2122}, {0x9D, 0x9D},
    {0x9F, 0x178}, {0xA0, 0xA0}, {0xE9, 0xE9},   {0xF3, 0xF3},   {0xFF, 0xFF},
};

struct strEscapeCase {
    unsigned char byte;
    const char* escape;  // "" for a byte that stands for itself
};
inline const strEscapeCase kEscapes[] = {
    {'"', "\\\""},     {'\\', "\\\\"}, {'\b', "\\b"},     {'\f', "\\f"},     {'\n', "\\n"},
    {'\r', "\\r"},     {'\t', "\\t"},  {0x00, "\\u0000"}, {0x01, "\\u0001"}, {0x0B, "\\u000b"},
    {0x1F, "\\u001f"}, {' ', ""},      {'/', ""},         {'a', ""},         {0x7F, ""},
    {0x80, ""},        {0xE9, ""},
};

struct strHexCase {
    char c;
    int value;
};
inline const strHexCase kHexDigits[] = {
    {'0', 0},  {'9', 9},  {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},  {'g', -1}, {'G', -1},
    {'/', -1}, {':', -1}, {'@', -1}, {'`', -1}, {' ', -1}, {'\0', -1}, {'x', -1}, {'\xE9', -1},
};

}  // namespace text_cases

// Runs every case of the table against codec.
inline void ExpectCodecKeepsToTheCases(const strTextCodec& codec) {
    using namespace text_cases;
    for (const strSequenceCase& c : kSequences) {
        const size_t available = c.available == kWhole ? std::strlen(c.bytes) : c.available;
        EXPECT_EQ(c.length, codec.utf8SequenceLength(c.bytes, available))
            << "sequence " << ::testing::PrintToString(std::string(c.bytes)) << " of " << available
            << " bytes";
    }
    for (const strEncodeCase& c : kEncodings) {
        char out[4] = {};
        const unsigned length = codec.encodeUtf8(c.codePoint, out);
        EXPECT_EQ(c.utf8, std::string(out, length)) << "code point " << c.codePoint;
    }
    for (const strWindows1252Case& c : kWindows1252) {
        EXPECT_EQ(c.codePoint, codec.windows1252CodePoint(c.byte)) << "byte " << int{c.byte};
    }
    for (const strEscapeCase& c : kEscapes) {
        char out[6] = {};
        const unsigned length = codec.escapeByte(c.byte, out);
        EXPECT_EQ(c.escape, std::string(out, length)) << "byte " << int{c.byte};
    }
    for (const strHexCase& c : kHexDigits) {
        EXPECT_EQ(c.value, codec.hexDigitValue(c.c)) << "character " << int{c.c};
    }
}

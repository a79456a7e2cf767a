// The service's text codec: the table of cases it shares with the HTTP
// library's copy, texts read as the writer prints them, characters counted as
// it reads them, and the \uXXXX escapes the readers decode.
#include "text/JsonText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TextCases.h"

namespace {

std::string ReadText(const char* text, uint32_t maxCharacters, uint32_t outSize = 512) {
    std::vector<char> out(outSize, 'Z');
    const uint32_t length = JsonReadText(text, maxCharacters, out.data(), outSize);
    EXPECT_EQ(length, std::strlen(out.data()));
    return out.data();
}

TEST(JsonTextTest, KeepsToTheCodecCases) {
    ExpectCodecKeepsToTheCases(
        {Utf8SequenceLength, JsonEncodeUtf8, Windows1252CodePoint, JsonEscapeByte, HexDigitValue});
}

TEST(JsonTextTest, ReadsInvalidUtf8AsWindows1252) {
    // The euro sign, a byte the code page leaves undefined, and a no-break space.
    EXPECT_EQ(ReadText("\x80\x81\xA0", 50), "\xE2\x82\xAC\xC2\x81\xC2\xA0");
    // One bad byte makes the whole text Windows-1252, including valid pairs.
    EXPECT_EQ(ReadText("\xC3\xA9 \xE9", 50), "\xC3\x83\xC2\xA9 \xC3\xA9");
    // The cut counts the converted characters: 60 bytes become 50 characters.
    std::string fifty;
    for (int i = 0; i < 50; ++i) fifty += "\xC3\xA9";
    EXPECT_EQ(ReadText(std::string(60, '\xE9').c_str(), 50), fifty);
}

TEST(JsonTextTest, RecognisesMalformedUtf8) {
    EXPECT_TRUE(JsonIsUtf8(""));
    EXPECT_TRUE(JsonIsUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF4\x8F\xBF\xBF"));
    for (const text_cases::strSequenceCase& c : text_cases::kSequences) {
        if (c.available != text_cases::kWhole) continue;
        EXPECT_EQ(c.length != 0, JsonIsUtf8(c.bytes)) << ::testing::PrintToString(c.bytes);
    }
}

TEST(JsonTextTest, TextHelpersStayInsideTheirBuffer) {
    // A character that does not fit in full is left out.
    EXPECT_EQ(ReadText("\xC3\xA9\xC3\xA9\xC3\xA9", 50, 4), "\xC3\xA9");
    EXPECT_EQ(ReadText("abc", 50, 1), "");
    EXPECT_EQ(ReadText(nullptr, 50), "");
    char out[8];
    EXPECT_EQ(JsonConvertText("\"\"\"\"", kJsonNoCut, true, out, sizeof out), 6u);
    EXPECT_STREQ(out, "\\\"\\\"\\\"");
    EXPECT_EQ(JsonConvertText("a\"\x01", kJsonNoCut, true, nullptr, 0), 9u);
}

TEST(JsonTextTest, CountsCharactersAsItReadsThem) {
    const struct {
        const char* text;
        uint32_t characters;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 3},  // UTF-8: sequences
        {"\xE9\xE9", 2},                              // Windows-1252: bytes
        {"\xC3\xA9 \xE9", 4},                         // one bad byte makes every byte a character
    };
    for (const auto& c : cases) EXPECT_EQ(c.characters, JsonCountCharacters(c.text)) << c.text;
    EXPECT_EQ(0u, JsonCountCharacters(nullptr));
}

// An escape and, for a high surrogate, the low surrogate escape after it;
// whatever does not make a pair is read alone and left for the caller.
TEST(JsonTextTest, ReadsUnicodeEscapesAndTheirPairs) {
    constexpr uint32_t kUntouched = 0xABCDEF;
    const struct {
        const char* text;
        size_t available;  // bytes that may be read
        size_t read;       // 0: no escape
        uint32_t code;
    } cases[] = {
        {"\\u0041", 6, 6, 0x41},
        {"\\u00e9\\u00C9", 12, 6, 0xE9},
        {"\\uFFFF", 6, 6, 0xFFFF},
        {"\\ud83d\\ude00", 12, 12, 0x1F600},
        {"\\uDBFF\\uDFFF", 12, 12, 0x10FFFF},
        {"\\uD800\\uDC00", 12, 12, 0x10000},
        {"\\ude00", 6, 6, 0xDE00},          // lone low surrogate
        {"\\ud83d", 6, 6, 0xD83D},          // high surrogate alone
        {"\\ud83dx", 7, 6, 0xD83D},         // high surrogate then text
        {"\\ud83d\\u0041", 12, 6, 0xD83D},  // then no surrogate
        {"\\ud83d\\ud83d", 12, 6, 0xD83D},  // then another high one
        {"\\ud83d\\ude00", 11, 6, 0xD83D},  // the pair cut by the bound
        {"\\u0041", 5, 0, kUntouched},      // the escape cut by the bound
        {"\\u12G4", 6, 0, kUntouched},
        {"\\u12", 4, 0, kUntouched},
        {"\\x0041", 6, 0, kUntouched},
        {"u0041", 5, 0, kUntouched},
    };
    for (const auto& c : cases) {
        uint32_t code = kUntouched;
        EXPECT_EQ(c.read, ReadUnicodeEscape(c.text, c.available, &code)) << c.text;
        EXPECT_EQ(c.code, code) << c.text;
    }
}

}  // namespace

#include "api/Parameters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parameter documents as the HTTP library builds them from a query string.
const char* const kQuery =
    "{\"machine_id\":\"P101\",\"max_items\":\"abc\",\"count\":25,\"neg\":\"-5\","
    "\"from\":\"2022-04-25T10:30:00Z\",\"bad\":\"2022-04-25 10:30:00Z\",\"machine_id\":\"P2\"}";

TEST(ParametersTest, ReadsTextByNameFirstOccurrenceWins) {
    char value[ParameterSize(kMaxParameterCharacters)];
    ASSERT_TRUE(GetParameter(kQuery, "machine_id", value, kMaxParameterCharacters));
    EXPECT_STREQ(value, "P101");
    EXPECT_FALSE(GetParameter(kQuery, "Machine_id", value, kMaxParameterCharacters));
    EXPECT_FALSE(GetParameter("", "machine_id", value, kMaxParameterCharacters));
    // A value longer than the capacity is not read at all.
    EXPECT_FALSE(GetParameter(kQuery, "machine_id", value, 3));
}

TEST(ParametersTest, DecodesTheDocumentsStringEscapes) {
    // As the HTTP library writes a query's quote, backslash, tab and other
    // control characters, plus escapes any JSON writer may use.
    const char* const document =
        "{\"machine_id\":\"E-1 \\\"B\\\" C:\\\\x\\ty\\u0001\\/\","
        "\"unicode\":\"\\u00f3\\u20AC\\ud83d\\ude00z\"}";
    char value[ParameterSize(kMaxParameterCharacters)];
    ASSERT_TRUE(GetParameter(document, "machine_id", value, kMaxParameterCharacters));
    EXPECT_STREQ(value, "E-1 \"B\" C:\\x\ty\x01/");
    // The capacity counts what the escapes stand for, not the escapes.
    const uint32_t decoded = 16;
    EXPECT_TRUE(GetParameter(document, "machine_id", value, decoded));
    EXPECT_FALSE(GetParameter(document, "machine_id", value, decoded - 1));
    ASSERT_TRUE(GetParameter(document, "unicode", value, kMaxParameterCharacters));
    EXPECT_STREQ(value, "\xC3\xB3\xE2\x82\xAC\xF0\x9F\x98\x80z");
}

// The limit counts characters, whatever their length in UTF-8 or as written
// in the document: a value of limit characters is read whole into a buffer of
// ParameterSize(limit) bytes, one of limit + 1 characters is not read.
TEST(ParametersTest, LimitCountsCharactersNotBytes) {
    const struct {
        const char* written;  // one character as the document writes it
        const char* read;     // the same character read
    } kCharacters[] = {
        {"x", "x"},
        {"\xC3\xB1", "\xC3\xB1"},                  // two bytes
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},          // three bytes
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // four bytes
        {"\\ud83d\\ude00", "\xF0\x9F\x98\x80"},    // four bytes, escaped
        {"\\t", "\t"},                             // an escaped tab
    };
    constexpr uint32_t kLimit = 50;
    for (const auto& character : kCharacters) {
        SCOPED_TRACE(character.read);
        std::string written, read;
        for (uint32_t i = 0; i < kLimit; ++i) {
            written += character.written;
            read += character.read;
        }
        const std::string document =
            "{\"id\":\"" + written + "\",\"longer\":\"" + written + character.written + "\"}";
        std::vector<char> value(ParameterSize(kLimit));
        ASSERT_TRUE(GetParameter(document.c_str(), "id", value.data(), kLimit));
        EXPECT_EQ(read, value.data());
        EXPECT_FALSE(GetParameter(document.c_str(), "longer", value.data(), kLimit));
    }
}

TEST(ParametersTest, ReadsCountsOrKeepsTheDefault) {
    int32_t count = 10;
    ReadCount(kQuery, "count", &count);
    EXPECT_EQ(count, 25);
    int32_t items = 10;
    ReadCount(kQuery, "max_items", &items);
    EXPECT_EQ(items, 10);
    ReadCount(kQuery, "absent", &items);
    EXPECT_EQ(items, 10);
    ReadCount(kQuery, "neg", &items);
    EXPECT_EQ(items, -5);
}

TEST(ParametersTest, ReadsTimes) {
    int32_t time = 7;
    EXPECT_TRUE(ReadTime(kQuery, "from", &time));
    EXPECT_EQ(time, 1650882600);
    time = 7;
    EXPECT_FALSE(ReadTime(kQuery, "bad", &time));
    EXPECT_FALSE(ReadTime(kQuery, "to", &time));
    EXPECT_FALSE(ReadTime(kQuery, "count", &time));
    EXPECT_EQ(time, 7);
}

TEST(ParametersTest, EmptyValueHidesItAndLaterParameters) {
    const char* query = "{\"a\":\"1\",\"b\":,\"c\":\"3\"}";
    char value[ParameterSize(kOptionLimit)];
    EXPECT_TRUE(GetParameter(query, "a", value, kOptionLimit));
    EXPECT_STREQ(value, "1");
    EXPECT_FALSE(GetParameter(query, "b", value, kOptionLimit));
    EXPECT_FALSE(GetParameter(query, "c", value, kOptionLimit));
}

}  // namespace

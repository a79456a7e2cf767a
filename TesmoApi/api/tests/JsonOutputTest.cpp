#include "api/JsonOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

// The service's results buffer: 1,000,000 bytes, 999,999 characters.
constexpr uint32_t kServiceResultsSize = 1000000;

// A writer over a buffer whose initial content is garbage, as the HTTP
// library hands it over.
class Writer {
  public:
    explicit Writer(uint32_t size = 4096) : memory(size, 'Z') {
        JsonInit(&output, memory.data(), size);
    }
    std::string Text() const { return memory.data(); }
    strJsonOutput output;

  private:
    std::vector<char> memory;
};

std::string Member(const char* value, eJsonType type) {
    Writer writer;
    JsonAddValue(&writer.output, "k", value, type, true);
    return writer.Text();
}

TEST(JsonWriterTest, BuildsNestedAnswerInOrder) {
    Writer writer;
    strJsonOutput* out = &writer.output;
    JsonOpenObject(out, nullptr, true);
    JsonAddValue(out, "id", "P101", eJsonType::String, true);
    JsonAddValue(out, "count", "3", eJsonType::Number, false);
    JsonAddValue(out, "mapped", "true", eJsonType::Boolean, false);
    JsonAddValue(out, "compress", "false", eJsonType::Boolean, false);
    JsonOpenArray(out, "points", false);
    JsonOpenObject(out, nullptr, true);
    JsonAddFloat(out, "v", 0.5f, true);
    JsonCloseObject(out);
    JsonAddValue(out, nullptr, "x", eJsonType::String, false);
    JsonAddValue(out, nullptr, "7", eJsonType::Number, false);
    JsonCloseArray(out);
    JsonOpenObject(out, "empty", false);
    JsonCloseObject(out);
    JsonCloseObject(out);
    const std::string expected =
        "{\"id\":\"P101\",\"count\":3,\"mapped\":true,\"compress\":false,"
        "\"points\":[{\"v\":0.5},\"x\",7],\"empty\":{}}";
    EXPECT_EQ(writer.Text(), expected);
    EXPECT_FALSE(out->error);
    EXPECT_EQ(out->capacity - out->remaining, expected.size());
}

TEST(JsonWriterTest, CutsValuesByCharacters) {
    EXPECT_EQ(Member(std::string(60, 'a').c_str(), eJsonType::String),
              "\"k\":\"" + std::string(50, 'a') + "\"");
    EXPECT_EQ(Member(std::string(25, '7').c_str(), eJsonType::Number),
              "\"k\":" + std::string(20, '7'));
    // Two-byte and four-byte characters count as one each and are never split.
    std::string accents;
    for (int i = 0; i < 60; ++i) accents += "\xC3\xA9";
    std::string fifty;
    for (int i = 0; i < 50; ++i) fifty += "\xC3\xA9";
    EXPECT_EQ(Member(accents.c_str(), eJsonType::String), "\"k\":\"" + fifty + "\"");
    const std::string mixed = std::string(49, 'a') + "\xF0\x9F\x98\x80" + "tail";
    EXPECT_EQ(Member(mixed.c_str(), eJsonType::String),
              "\"k\":\"" + std::string(49, 'a') + "\xF0\x9F\x98\x80" + "\"");
}

TEST(JsonWriterTest, EscapesNamesAndStringsAfterTheCut) {
    EXPECT_EQ(Member("a\"b\\c\nd\te\x01", eJsonType::String),
              "\"k\":\"a\\\"b\\\\c\\nd\\te\\u0001\"");
    // Fifty quotes are fifty characters, written as a hundred bytes.
    std::string quotes(60, '"');
    std::string escaped;
    for (int i = 0; i < 50; ++i) escaped += "\\\"";
    EXPECT_EQ(Member(quotes.c_str(), eJsonType::String), "\"k\":\"" + escaped + "\"");

    Writer writer;
    JsonAddValue(&writer.output, "we\"ird\\", "v", eJsonType::String, true);
    JsonOpenArray(&writer.output, "a\rb", false);
    EXPECT_EQ(writer.Text(), "\"we\\\"ird\\\\\":\"v\",\"a\\rb\":[");
}

TEST(JsonWriterTest, ReadsInvalidUtf8AsWindows1252) {
    // "Bomba Impulsion" with an o acute in Windows-1252 becomes UTF-8.
    EXPECT_EQ(Member("Bomba Impulsi\xF3n", eJsonType::String), "\"k\":\"Bomba Impulsi\xC3\xB3n\"");
    // Valid UTF-8 is kept as it is.
    EXPECT_EQ(Member("Bomba Impulsi\xC3\xB3n", eJsonType::String),
              "\"k\":\"Bomba Impulsi\xC3\xB3n\"");
}

TEST(JsonWriterTest, WritesFloatsWithSixDigitsAndNonFiniteAsNull) {
    Writer writer;
    strJsonOutput* out = &writer.output;
    JsonOpenArray(out, nullptr, true);
    JsonAddFloat(out, nullptr, 1234567.0f, true);
    JsonAddFloat(out, nullptr, 0.5f, false);
    JsonAddFloat(out, nullptr, std::numeric_limits<float>::quiet_NaN(), false);
    JsonAddFloat(out, nullptr, std::numeric_limits<float>::infinity(), false);
    JsonAddFloat(out, "neg", -std::numeric_limits<float>::infinity(), false);
    JsonCloseArray(out);
    EXPECT_EQ(writer.Text(), "[1.23457e+06,0.5,null,null,\"neg\":null]");
}

TEST(JsonWriterTest, NullValuesStayValidJson) {
    EXPECT_EQ(Member(nullptr, eJsonType::String), "\"k\":\"(null)\"");
    EXPECT_EQ(Member(nullptr, eJsonType::Number), "\"k\":null");
}

TEST(JsonWriterTest, BadBooleanBecomesEscapedErrorDocument) {
    Writer writer;
    JsonOpenObject(&writer.output, nullptr, true);
    JsonAddValue(&writer.output, "id", "M1", eJsonType::String, true);
    JsonAddValue(&writer.output, "mapped", "True", eJsonType::Boolean, false);
    JsonCloseObject(&writer.output);
    EXPECT_TRUE(writer.output.error);
    EXPECT_EQ(writer.Text(),
              "{\"error\":\"{\\\"error\\\":\\\"value of property\\\":mapped}\",\"code\":2}");

    Writer nullValue;
    JsonAddValue(&nullValue.output, "flag", nullptr, eJsonType::Boolean, true);
    EXPECT_TRUE(nullValue.output.error);
    EXPECT_NE(nullValue.Text().find("\"code\":2}"), std::string::npos);
}

TEST(JsonWriterTest, FillsToExactlyZeroFreeThenFailsWithCapacity) {
    Writer writer(kServiceResultsSize);
    strJsonOutput* out = &writer.output;
    EXPECT_EQ(out->capacity, 999999u);
    const std::string almost(999998, 'x');
    JsonAppend(out, almost.c_str());
    JsonAppend(out, "y");
    EXPECT_FALSE(out->error);
    EXPECT_EQ(out->remaining, 0u);
    EXPECT_EQ(writer.Text().size(), 999999u);
    EXPECT_EQ(writer.Text().back(), 'y');

    JsonAppend(out, "z");
    EXPECT_TRUE(out->error);
    const std::string outOfMemory =
        "{\"error\":\"{\\\"error\\\":\\\"out of memory\\\",\\\"size_buffer\\\":999999}\","
        "\"code\":1}";
    EXPECT_EQ(writer.Text(), outOfMemory);

    // Nothing appended afterwards reaches the buffer.
    JsonAddValue(out, "a", "b", eJsonType::String, false);
    JsonAddFloat(out, "f", 1.0f, false);
    JsonOpenArray(out, "c", false);
    JsonCloseArray(out);
    JsonCloseObject(out);
    EXPECT_EQ(writer.Text(), outOfMemory);

    // A later error document replaces it.
    JsonSetError(out, kMessageServerNotWorking, kErrorServerNotWorking);
    EXPECT_EQ(writer.Text(), "{\"error\":\"Tesmo Server is not working\",\"code\":2001}");
}

TEST(JsonWriterTest, PieceLargerThanTheRoomWritesNothingOfIt) {
    Writer writer(200);
    JsonAppend(&writer.output, "[");
    JsonAppend(&writer.output, std::string(199, 'q').c_str());
    EXPECT_TRUE(writer.output.error);
    EXPECT_EQ(writer.Text(),
              "{\"error\":\"{\\\"error\\\":\\\"out of memory\\\",\\\"size_buffer\\\":199}\","
              "\"code\":1}");
}

TEST(JsonWriterTest, ManySmallAppendsFillTheServiceBuffer) {
    // A writer that rescanned the buffer for its end on every append would
    // take hours here.
    Writer writer(kServiceResultsSize);
    for (uint32_t i = 0; i < 999999; ++i) JsonAppend(&writer.output, "a");
    EXPECT_FALSE(writer.output.error);
    EXPECT_EQ(writer.output.remaining, 0u);
    EXPECT_EQ(std::strlen(writer.output.buffer), 999999u);
}

TEST(JsonWriterTest, ErrorDocumentReplacesPartialAnswer) {
    Writer writer;
    JsonOpenArray(&writer.output, nullptr, true);
    for (int i = 0; i < 20; ++i)
        JsonAddValue(&writer.output, nullptr, "12345", eJsonType::Number, i == 0);
    JsonSetError(&writer.output, kMessageUseValues, kErrorUseValues);
    EXPECT_EQ(writer.Text(), "{\"error\":\"use: /api/values?machine_id=MMMM\",\"code\":1003}");
    JsonCloseArray(&writer.output);
    EXPECT_EQ(writer.Text(), "{\"error\":\"use: /api/values?machine_id=MMMM\",\"code\":1003}");
}

TEST(JsonWriterTest, SmallBuffersStartFailedButTakeErrorsThatFit) {
    Writer tooSmall(99);  // capacity 98
    EXPECT_TRUE(tooSmall.output.error);
    EXPECT_EQ(tooSmall.Text(), "");
    JsonAppend(&tooSmall.output, "{}");
    EXPECT_EQ(tooSmall.Text(), "");
    JsonSetError(&tooSmall.output, kMessageNoSuchService, kErrorNoSuchService);
    EXPECT_EQ(tooSmall.Text(), "{\"error\":\"Service doesn't exist\",\"code\":101}");

    Writer smallest(100);  // capacity 99
    EXPECT_FALSE(smallest.output.error);

    // The 101 document needs a capacity above 71.
    Writer exact(72);  // capacity 71
    JsonSetError(&exact.output, kMessageNoSuchService, kErrorNoSuchService);
    EXPECT_EQ(exact.Text(), "");
    Writer enough(73);  // capacity 72
    JsonSetError(&enough.output, kMessageNoSuchService, kErrorNoSuchService);
    EXPECT_EQ(enough.Text(), "{\"error\":\"Service doesn't exist\",\"code\":101}");

    Writer single(1);
    EXPECT_EQ(single.output.capacity, 0u);
    JsonSetError(&single.output, kMessageNoSuchService, kErrorNoSuchService);
    EXPECT_EQ(single.Text(), "");
}

TEST(JsonWriterTest, ErrorMessagesAreEscapedAndConverted) {
    Writer writer;
    JsonSetError(&writer.output, "bad \"x\" \\ \xE9", 7);
    EXPECT_EQ(writer.Text(), "{\"error\":\"bad \\\"x\\\" \\\\ \xC3\xA9\",\"code\":7}");
}

}  // namespace

// The float text must be exactly what printf's "%g" writes for the value
// widened to double: the edge values of float, the roundings at six digits,
// the switches between fixed and exponent forms, and a sweep of bit patterns.
TEST(JsonWriterTest, FloatTextIsPrintfGeneralText) {
    const float edges[] = {
        0.0f,       -0.0f,           1.0f,          -1.0f,          0.5f,
        0.1f,       1e-4f,           9.99999e-5f,   1e-5f,          0.0001f,
        999999.0f,  999999.5f,       1e6f,          1e7f,           123456.5f,
        1234567.0f, 2980.7f,         79.28f,        0.03f,          9.999995f,
        99999.95f,  0.000123456789f, 3.4028235e38f, -3.4028235e38f, 1.17549435e-38f,
        1.4e-45f,   -1.4e-45f,       16777216.0f,   16777217.0f,    2.5f,
        0.125f,     1.0000005f,      5e-7f,         4.5e-6f,        1.5e10f,
        7e-39f,
    };
    std::vector<float> values(std::begin(edges), std::end(edges));
    for (uint32_t bits = 0x00000001u; bits < 0x7F800000u; bits += 0x000F4243u) {
        float value;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
        values.push_back(-value);
    }
    for (float value : values) {
        char expected[kJsonFloatTextSize];
        std::snprintf(expected, sizeof expected, "%g", static_cast<double>(value));
        char text[kJsonFloatTextSize];
        const uint32_t length = JsonFormatFloat(value, text);
        ASSERT_STREQ(text, expected) << "bits of " << expected;
        ASSERT_EQ(length, std::strlen(expected));
    }
}

// Plain ASCII at the start of a text is copied straight through; what follows
// it still decides the encoding, the cut and the room.
TEST(JsonWriterTest, PlainStartKeepsCutRoomAndEncodingOfTheRest) {
    struct strCase {
        const char* text;
        uint32_t maxCharacters;
        uint32_t outSize;
        bool escape;
        const char* expected;
    };
    const strCase cases[] = {
        {"abcdef", 3, 64, false, "abc"},                // cut inside the start
        {"abcdef", 50, 4, false, "abc"},                // room ends inside it
        {"ab\xE9z", 3, 64, false, "ab\xC3\xA9"},        // cut after a converted byte
        {"ab\xC3\xA9z", 50, 64, false, "ab\xC3\xA9z"},  // valid UTF-8 after it
        {"ab\xC3\xA9\xE9", 50, 64, false, "ab\xC3\x83\xC2\xA9\xC3\xA9"},  // bad byte later
        {"abc\xC3\xA9", 50, 5, false, "abc"},                             // the pair does not fit
        {"ab\x01\"c", 50, 64, false, "ab\x01\"c"},                        // no escape: kept
        {"ab\x01\"c", 50, 64, true, "ab\\u0001\\\"c"},                    // escaped after the start
        {"a\\b", 2, 64, true, "a\\\\"},                                   // escape counts as one
    };
    for (const strCase& c : cases) {
        std::vector<char> out(c.outSize, 'Z');
        const uint32_t length =
            JsonConvertText(c.text, c.maxCharacters, c.escape, out.data(), c.outSize);
        EXPECT_STREQ(out.data(), c.expected) << c.text;
        EXPECT_EQ(length, std::strlen(c.expected)) << c.text;
        if (c.outSize == 64) {
            EXPECT_EQ(JsonConvertText(c.text, c.maxCharacters, c.escape, nullptr, 0), length)
                << c.text;
        }
    }
}

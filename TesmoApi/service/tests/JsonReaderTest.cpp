#include "service/JsonReader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TextCases.h"

namespace {

constexpr uint32_t kRoomy = 200;

// The value at path, or nothing when the lookup fails. Checks on the way that
// a failed lookup leaves the destination untouched.
std::optional<std::string> Lookup(const std::string& document, const char* path,
                                  uint32_t capacity = kRoomy) {
    std::vector<char> value(capacity + 1, '#');
    if (!JsonGetValue(document.c_str(), path, value.data(), capacity)) {
        for (char c : value) EXPECT_EQ('#', c) << "destination written by a failed lookup";
        return std::nullopt;
    }
    return std::string(value.data());
}

std::string Nested(int depth, const char* inner) {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

TEST(JsonReaderLookup, ReadsNestedMembersAndWholeContainers) {
    const std::string config =
        "{ \"api\" : { \"listen_port\" : 8080 },\n \"server\": {\"host\":\"tesmo\", \"port\":2500} "
        "}";
    EXPECT_EQ("8080", Lookup(config, "api.listen_port"));
    EXPECT_EQ("{ \"listen_port\" : 8080 }", Lookup(config, "api"));
    EXPECT_EQ("tesmo", Lookup(config, "server.host"));
    EXPECT_EQ("2500", Lookup(config, "server.port"));
    EXPECT_EQ(std::nullopt, Lookup(config, "server.user"));
    EXPECT_EQ(std::nullopt, Lookup(config, "Api.listen_port")) << "keys are case-sensitive";
    EXPECT_EQ(std::nullopt, Lookup(config, "api.listen_port.x"));
}

TEST(JsonReaderLookup, RefusesMissingOrEmptyArguments) {
    char value[8] = "keep";
    EXPECT_FALSE(JsonGetValue("", "a", value, 7)) << "empty parameter document";
    EXPECT_FALSE(JsonGetValue(nullptr, "a", value, 7));
    EXPECT_FALSE(JsonGetValue("{\"a\":1}", "", value, 7));
    EXPECT_FALSE(JsonGetValue("{\"a\":1}", nullptr, value, 7));
    EXPECT_FALSE(JsonGetValue("{\"a\":1}", "a", nullptr, 7));
    EXPECT_STREQ("keep", value);
}

TEST(JsonReaderLookup, CopiesAtMostCapacityWithoutTruncating) {
    const std::string document = "{\"s\":\"abcde\",\"n\":12345,\"e\":\"\"}";
    EXPECT_EQ("abcde", Lookup(document, "s", 5));
    EXPECT_EQ(std::nullopt, Lookup(document, "s", 4));
    EXPECT_EQ("12345", Lookup(document, "n", 5));
    EXPECT_EQ(std::nullopt, Lookup(document, "n", 4));
    EXPECT_EQ("", Lookup(document, "e", 0)) << "an empty string fits any capacity";

    char exact[6];
    ASSERT_TRUE(JsonGetValue(document.c_str(), "s", exact, 5));
    EXPECT_EQ('\0', exact[5]) << "terminator at index length";
}

TEST(JsonReaderLookup, ReturnsStringsWithTheirEscapesAsWritten) {
    const std::string document = R"({"q":"a\"b","nl":"x\ny","a\"b":1,"ab":2})";
    EXPECT_EQ(R"(a\"b)", Lookup(document, "q"));
    EXPECT_EQ(R"(x\ny)", Lookup(document, "nl"));
    EXPECT_EQ("1", Lookup(document, R"(a\"b)")) << "escaped keys match their escape text";
    EXPECT_EQ(std::nullopt, Lookup(document, "a\"b")) << "escapes in keys are not decoded";
}

TEST(JsonReaderLookup, FirstOfDuplicateKeysWins) {
    EXPECT_EQ("1", Lookup(R"({"id":1,"id":2})", "id"));
    EXPECT_EQ("first", Lookup(R"({"a":{"b":"first"},"a":{"b":"second"}})", "a.b"));
}

TEST(JsonReaderStructure, IgnoresWhatFollowsTheWantedValue) {
    EXPECT_EQ("1", Lookup(R"({"a":1,"b":)", "a")) << "cut off after the value";
    EXPECT_EQ("1", Lookup(R"({"a":1 garbage)", "a"));
    EXPECT_EQ("1", Lookup(R"({"a":1,"b":[1,2)", "a"));
    EXPECT_EQ("true", Lookup(R"({"a":truex})", "a")) << "text after a literal is not examined";
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":1 "b":2})", "b")) << "a missing comma ends the search";
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":1,,"b":2})", "b"));
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":1,})", "b"));
    EXPECT_EQ(std::nullopt, Lookup(R"(["a",1])", "a")) << "members are only searched in objects";
}

TEST(JsonReaderStructure, BadMemberHidesItselfAndLaterMembers) {
    const std::string emptyValue = R"({"before":1,"empty":,"after":2})";
    EXPECT_EQ("1", Lookup(emptyValue, "before"));
    EXPECT_EQ(std::nullopt, Lookup(emptyValue, "empty"));
    EXPECT_EQ(std::nullopt, Lookup(emptyValue, "after"));

    const std::string latin1 = "{\"before\":\"x\",\"name\":\"Impulsi\xE9n\",\"after\":\"y\"}";
    EXPECT_EQ("x", Lookup(latin1, "before"));
    EXPECT_EQ(std::nullopt, Lookup(latin1, "name"));
    EXPECT_EQ(std::nullopt, Lookup(latin1, "after"));

    const std::string badNested = R"({"a":1,"c":{"x":[1,}]},"b":2})";
    EXPECT_EQ("1", Lookup(badNested, "a"));
    EXPECT_EQ(std::nullopt, Lookup(badNested, "b")) << "a malformed container is not skipped";
}

TEST(JsonReaderStructure, ContainersFollowTheBracketRules) {
    EXPECT_EQ("[1,2}", Lookup(R"({"a":[1,2},"b":3})", "a"))
        << "the outermost closer is not compared with its opener";
    EXPECT_EQ("3", Lookup(R"({"a":[1,2},"b":3})", "b"));
    EXPECT_EQ("[[1][2]]", Lookup(R"({"a":[[1][2]]})", "a")) << "no comma needed before a bracket";
    EXPECT_EQ("[ ]", Lookup(R"({"a":[ ],"b":{}})", "a"));
    EXPECT_EQ("{}", Lookup(R"({"a":[ ],"b":{}})", "b"));
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":[[1}],"b":3})", "b")) << "inner closer must match";
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":[1,2,],"b":3})", "b")) << "trailing comma in a run";
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":{"x":1,},"b":3})", "b"));
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":[1 2],"b":3})", "b"));
    EXPECT_EQ(std::nullopt, Lookup(R"({"a":[1,[2],3)", "a")) << "text ends inside the value";
    EXPECT_EQ("{\"y\":[{\"z\":null}]}", Lookup(R"({"x":{"y":[{"z":null}]},"w":0})", "x"));
    EXPECT_EQ("0", Lookup(R"({"x":{"y":[{"z":null}]},"w":0})", "w"));
}

TEST(JsonReaderStructure, BracketStackHoldsThirtyTwoLevels) {
    const std::string deep32 = "{\"a\":" + Nested(32, "1") + ",\"b\":2}";
    EXPECT_EQ("2", Lookup(deep32, "b"));
    EXPECT_EQ(Nested(32, "1"), Lookup(deep32, "a"));

    const std::string deep33 = "{\"a\":" + Nested(33, "1") + ",\"b\":2}";
    EXPECT_EQ(std::nullopt, Lookup(deep33, "a"));
    EXPECT_EQ(std::nullopt, Lookup(deep33, "b"));

    std::string mixed = "1";
    for (int i = 0; i < 16; ++i) mixed = "{\"k\":[" + mixed + "]}";
    mixed = "{\"a\":" + mixed + ",\"b\":2}";
    EXPECT_EQ("2", Lookup(mixed, "b")) << "objects and arrays share the stack";
}

// The bytes of each case of the codec's table inside a string: its quote or
// the end of the text cuts a sequence short.
TEST(JsonReaderStrings, AcceptsWellFormedUtf8AndRefusesTheRest) {
    for (const text_cases::strSequenceCase& c : text_cases::kSequences) {
        if (c.available != text_cases::kWhole) continue;
        const std::string document = std::string("{\"s\":\"") + c.bytes + "\"}";
        EXPECT_EQ(c.length != 0, Lookup(document, "s").has_value()) << "bytes: " << c.bytes;
        if (c.length != 0) {
            EXPECT_EQ(c.bytes, Lookup(document, "s"));
        }
    }
    EXPECT_EQ(std::nullopt, Lookup("{\"s\":\"\xE2\x82", "s")) << "sequence cut by the end";
}

TEST(JsonReaderStrings, ChecksEscapesAndControlCharacters) {
    struct strCase {
        const char* text;
        bool valid;
    };
    const strCase cases[] = {
        {R"(\" \\ \/ \b \f \n \r \t)", true},
        {"\\\t", true},  // backslash followed by a raw tab
        {"\\\x01", true},
        {R"(\x)", false},
        {R"(\a)", false},
        {"a\tb", false},  // raw control character
        {"a\nb", false},
        {R"(\u00e9\u00C9)", true},
        {R"(\u0000)", false},
        {R"(\u12G4)", false},
        {R"(\u12)", false},
        {R"(\ud83d\ude00)", true},  // surrogate pair
        {R"(\uDBFF\uDFFF)", true},
        {R"(\ude00)", false},        // lone low surrogate
        {R"(\ud83d)", false},        // high surrogate alone
        {R"(\ud83dx)", false},       // high surrogate then text
        {R"(\ud83d\u0041)", false},  // high surrogate then a non-surrogate
        {R"(\ud83d\ud83d)", false},  // two high surrogates
    };
    for (const strCase& c : cases) {
        const std::string document = std::string("{\"s\":\"") + c.text + "\",\"t\":1}";
        EXPECT_EQ(c.valid, Lookup(document, "t").has_value()) << "string: " << c.text;
    }
    EXPECT_EQ(std::nullopt, Lookup("{\"s\":\"abc\\", "s")) << "backslash as the last byte";
    EXPECT_EQ(std::nullopt, Lookup("{\"s\":\"abc", "s")) << "no closing quote";
    EXPECT_EQ(std::nullopt, Lookup("{\"s\":\"\\u0041", "s")) << "escape needs a byte after it";
}

TEST(JsonReaderScalars, NumbersEndWhereTheirGrammarEnds) {
    struct strCase {
        const char* text;
        const char* value;  // nullptr: not readable
    };
    const strCase cases[] = {
        {"0123", "0"},
        {"1.", "1"},
        {"1e", "1"},
        {"1.5", "1.5"},
        {"-0.25E-3", "-0.25E-3"},
        {"1e+5", "1e+5"},
        {"2E7x", "2E7"},
        {"12abc", "12"},
        {"-", nullptr},
        {"+1", nullptr},
        {".5", nullptr},
        {"-.5", nullptr},
        {"tru", nullptr},
        {"fals", nullptr},
        {"nul", nullptr},
        {"false", "false"},
        {"null", "null"},
        {"x", nullptr},
    };
    for (const strCase& c : cases) {
        const std::string document = std::string("{\"n\":") + c.text;
        const std::optional<std::string> value = Lookup(document, "n");
        if (c.value == nullptr) {
            EXPECT_EQ(std::nullopt, value) << "text: " << c.text;
        } else {
            EXPECT_EQ(c.value, value) << "text: " << c.text;
        }
    }
}

TEST(JsonReaderPath, AcceptsEveryPathForm) {
    const std::string document = R"({"a":{"b":[10,[20,21],{"c":"d"}]},"e":[{"f":1}]})";
    EXPECT_EQ("10", Lookup(document, "a.b[0]"));
    EXPECT_EQ("21", Lookup(document, "a.b[1][1]"));
    EXPECT_EQ("d", Lookup(document, "a.b[2].c"));
    EXPECT_EQ("d", Lookup(document, "a.b[2]c")) << "key directly after an index";
    EXPECT_EQ("1", Lookup(document, "e[0].f"));
    EXPECT_EQ("1", Lookup(document, "e[000].f")) << "leading zeros";
    EXPECT_EQ("{\"f\":1}", Lookup(document, "e[0]."));
    EXPECT_EQ(std::nullopt, Lookup(document, "a.b[3]"));
    EXPECT_EQ(std::nullopt, Lookup(document, "a.b[0][0]")) << "a number holds no elements";

    const std::string array = R"([["x","y"],{"k":"v"}])";
    EXPECT_EQ("y", Lookup(array, "[0][1]"));
    EXPECT_EQ("v", Lookup(array, "[1].k"));
    EXPECT_EQ("[\"x\",\"y\"]", Lookup(array, "[0]"));
    EXPECT_EQ(std::nullopt, Lookup(array, "[2]"));
    EXPECT_EQ(std::nullopt, Lookup(R"(  [ ,1])", "[0]"));
    EXPECT_EQ("1", Lookup(R"(  [ 1 , 2 ])", "[0]"));
    EXPECT_EQ("2", Lookup(R"(  [ 1 , 2 ])", "[1]"));
}

TEST(JsonReaderPath, RefusesMalformedPaths) {
    const std::string document = R"({"a":{"b":[1,2]},"x":[1]})";
    ASSERT_EQ("1", Lookup(document, "a.b[0]"));
    const char* badPaths[] = {
        ".a", "a..b", "a.", "a[", "a.b[", "a.b[]", "a.b[x]", "a.b[0", "a.b[-1]", "a.b[0]]",
    };
    for (const char* path : badPaths) EXPECT_EQ(std::nullopt, Lookup(document, path)) << path;
    EXPECT_EQ(std::nullopt, Lookup(document, "x[4294967296]")) << "index must not wrap to 0";
    EXPECT_EQ(std::nullopt, Lookup(document, "x[2147483640]"));
}

}  // namespace

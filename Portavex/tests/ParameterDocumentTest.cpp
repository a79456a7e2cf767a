// The JSON object built from a query: shape, escaping, value classes,
// character sets, cuts and overflow.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "Limits.h"
#include "ParameterDocument.h"

using namespace portavex;

namespace {

std::string Document(const std::string& query) {
    char text[kParameterDocumentCapacity + 1];
    std::string copy = query;
    if (!BuildParameterDocument(text, &copy[0])) return "<bad request>";
    EXPECT_LE(std::strlen(text), kParameterDocumentCapacity);
    return text;
}

// A small strict reader for the documents' grammar: an object of string
// keys and string, number, true or false values; strings hold no raw
// control characters and only valid escapes.
class DocumentChecker {
  public:
    explicit DocumentChecker(const std::string& text) : s(text) {}
    bool Valid() {
        if (!Take('{')) return false;
        if (Take('}')) return i == s.size();
        do {
            if (!String() || !Take(':') || !Value()) return false;
        } while (Take(','));
        return Take('}') && i == s.size();
    }

  private:
    bool Take(char c) {
        if (i < s.size() && s[i] == c) return ++i, true;
        return false;
    }
    bool String() {
        if (!Take('"')) return false;
        while (i < s.size() && s[i] != '"') {
            if (static_cast<unsigned char>(s[i]) < 0x20) return false;
            if (s[i++] != '\\') continue;
            if (i >= s.size()) return false;
            char e = s[i++];
            if (e == 'u') {
                if (i + 4 > s.size()) return false;
                i += 4;
            } else if (std::strchr("\"\\/bfnrt", e) == nullptr) {
                return false;
            }
        }
        return Take('"');
    }
    bool Value() {
        if (s.compare(i, 4, "true") == 0) return i += 4, true;
        if (s.compare(i, 5, "false") == 0) return i += 5, true;
        if (i < s.size() && s[i] == '"') return String();
        size_t start = i;
        while (i < s.size() && std::strchr("0123456789.", s[i]) != nullptr) i++;
        return IsJsonNumber(s.substr(start, i - start).c_str());
    }
    const std::string& s;
    size_t i = 0;
};

}  // namespace

TEST(ParameterDocument, ExamplesOfTheQueryForms) {
    EXPECT_EQ("{}", Document(""));
    EXPECT_EQ("{\"machine\":\"Pump 1\",\"from\":12,\"raw\":true}",
              Document("machine=Pump%201&from=12&raw=TRUE"));
    EXPECT_EQ("{\"id\":\"1.2.3\",\"v\":\"-4\"}", Document("id=1.2.3&v=-4"));
    EXPECT_EQ("{\"a\":\"\",\"b\":\"\"}", Document("a=&b"));
    EXPECT_EQ("{\"k\":\"a=b\",\"7\":\"\"}", Document("k=a=b&&=7"));
    EXPECT_EQ("{}", Document("&&&"));
    EXPECT_EQ("{}", Document("==&="));
    EXPECT_EQ("{\"a\":1,\"a\":2}", Document("a=1&a=2"));
}

TEST(ParameterDocument, SplitsBeforeDecoding) {
    EXPECT_EQ("{\"group\":\"A&B\"}", Document("group=A%26B"));
    EXPECT_EQ("{\"x=y\":\"1=2\"}", Document("x%3Dy=1%3D2"));
    EXPECT_EQ("{\"q\":\"?\"}", Document("q=%3F"));
    EXPECT_EQ("{\"p\":\"%41\"}", Document("p=%2541"));
    EXPECT_EQ("{\"p\":\"%zz%4\"}", Document("p=%zz%4"));
    EXPECT_EQ("{\"p\":\"a+b\"}", Document("p=a+b"));
}

TEST(ParameterDocument, NulByteMakesTheRequestBad) {
    EXPECT_EQ("<bad request>", Document("a=x%00y"));
    EXPECT_EQ("<bad request>", Document("a%00=1"));
    EXPECT_EQ("<bad request>", Document("ok=1&later=%00"));
}

TEST(ParameterDocument, EscapesQuotesBackslashesAndControls) {
    EXPECT_EQ("{\"a\\\"b\":\"c\\\\d\"}", Document("a%22b=c%5Cd"));
    EXPECT_EQ("{\"t\":\"1\\t2\\n3\\r\\b\\f\\u0001\\u001f\"}",
              Document("t=1%092%0A3%0D%08%0C%01%1F"));
    EXPECT_EQ("{\"n\":\"\\\"},\\\"x\\\":1\"}", Document("n=%22%7D%2C%22x%22%3A1"));
}

TEST(ParameterDocument, OnlyValidUnsignedNumbersAreNumbers) {
    EXPECT_EQ("{\"a\":0,\"b\":12,\"c\":1.5,\"d\":10.25}", Document("a=0&b=12&c=1.5&d=10.25"));
    EXPECT_EQ("{\"a\":\"007\",\"b\":\".5\",\"c\":\"5.\",\"d\":\".\",\"e\":\"1.5.2\"}",
              Document("a=007&b=.5&c=5.&d=.&e=1.5.2"));
    EXPECT_EQ("{\"a\":\"-4\",\"b\":\"+4\",\"c\":\"1e5\",\"d\":\"0x1\"}",
              Document("a=-4&b=%2B4&c=1e5&d=0x1"));
}

TEST(ParameterDocument, BooleansInAnyCaseBecomeLiterals) {
    EXPECT_EQ("{\"a\":true,\"b\":false,\"c\":true,\"d\":false}",
              Document("a=TRUE&b=False&c=tRuE&d=false"));
    EXPECT_EQ("{\"a\":\"truee\",\"b\":\"fals\"}", Document("a=truee&b=fals"));
}

TEST(ParameterDocument, ValidUtf8IsKeptAndOtherBytesAreWindows1252) {
    EXPECT_EQ("{\"n\":\"caf\xC3\xA9\"}", Document("n=caf%C3%A9"));
    EXPECT_EQ("{\"n\":\"caf\xC3\xA9\"}", Document("n=caf%E9"));
    EXPECT_EQ("{\"n\":\"\xE2\x82\xAC 5\"}", Document("n=%80%205"));
    EXPECT_EQ("{\"\xC3\xA4\":\"x\"}", Document("%E4=x"));
    // An overlong form and a lone surrogate are not UTF-8.
    EXPECT_EQ("{\"n\":\"\xC3\x80\xC2\xAF\"}", Document("n=%C0%AF"));
    EXPECT_EQ("{\"n\":\"\xC3\xAD\xC2\xA0\xE2\x82\xAC\"}", Document("n=%ED%A0%80"));
}

// The cut counts characters, so a value of 50 characters comes through
// whole however many bytes its letters take in UTF-8, and escaping comes
// after the cut.
TEST(ParameterDocument, StringsAreCutAtFiftyCharacters) {
    const struct {
        const char* encoded;  // one character in the query
        const char* written;  // the same character in the document
    } kCharacters[] = {
        {"x", "x"},
        {"%C3%A9", "\xC3\xA9"},                // two bytes of UTF-8
        {"%E9", "\xC3\xA9"},                   // Windows-1252: one byte, two once read
        {"%80", "\xE2\x82\xAC"},               // the euro sign: three bytes once read
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},  // four bytes
        {"%22", "\\\""},                       // a quote, escaped
        {"%09", "\\t"},                        // a tab, escaped
    };
    for (const auto& character : kCharacters) {
        SCOPED_TRACE(character.encoded);
        std::string query = "s=";
        std::string fifty;
        for (int i = 0; i < 50; i++) {
            query += character.encoded;
            fifty += character.written;
        }
        EXPECT_EQ("{\"s\":\"" + fifty + "\"}", Document(query));
        EXPECT_EQ("{\"s\":\"" + fifty + "\"}", Document(query + character.encoded));
    }
}

TEST(ParameterDocument, NumbersAreCutAtTwentyAndStayNumbers) {
    std::string twenty = "12345678901234567890";
    EXPECT_EQ("{\"n\":" + twenty + "}", Document("n=" + twenty + "1"));
    EXPECT_EQ("{\"n\":1234567890123456789}", Document("n=1234567890123456789.5"));
    EXPECT_EQ("{\"n\":123456789012345678.9}", Document("n=123456789012345678.95"));
}

TEST(ParameterDocument, OverflowGivesADocumentWithoutTheParameters) {
    std::string query;
    for (int i = 0; i < 60; i++)
        query += "name" + std::to_string(i) + "=" + std::string(40, 'v') + "&";
    std::string document = Document(query);
    EXPECT_EQ("{\"error\":\"out of memory\",\"size_buffer\":2048}", document);
    // A single name longer than the whole document.
    EXPECT_EQ(document, Document(std::string(3000, 'n') + "=1"));
}

TEST(ParameterDocument, DocumentThatFillsTheCapacityExactlyIsKept) {
    // {"<name>":1} with a name that brings the document to 2,048 characters.
    std::string name(kParameterDocumentCapacity - 6, 'n');
    EXPECT_EQ("{\"" + name + "\":1}", Document(name + "=1"));
    EXPECT_EQ("{\"error\":\"out of memory\",\"size_buffer\":2048}", Document(name + "n=1"));
}

TEST(ParameterDocument, RandomQueriesAlwaysGiveValidJson) {
    std::mt19937 random(1234);
    const char pieces[][5] = {"%22", "%5C", "%0A", "%E9", "%C3", "%A9",  "%80", "%FF", "&", "=",
                              "a",   "1",   ".",   "%",   "%2",  "TRUE", "\"",  "\\",  "0", "%26"};
    int checked = 0;
    for (int round = 0; round < 2000; round++) {
        std::string query;
        size_t count = random() % 400;
        for (size_t i = 0; i < count; i++) query += pieces[random() % 20];
        std::string document = Document(query);
        // "%" followed by the pieces "0" and "0" spells a NUL: refused.
        if (document == "<bad request>" && query.find("%00") != std::string::npos) continue;
        checked++;
        EXPECT_TRUE(DocumentChecker(document).Valid()) << query << "\n" << document;
    }
    EXPECT_GT(checked, 1000);
}

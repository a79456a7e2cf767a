// Reading the method, path, query, connection tokens and validators out of
// a request.
#include <gtest/gtest.h>

#include <string>

#include "RequestParser.h"

using namespace portavex;

namespace {

struct strParsed {
    std::string text;  // the view the request points into
    strRequest request;
};

void Parse(strParsed* parsed, const std::string& view) {
    parsed->text = view;
    ParseRequest(&parsed->text[0], &parsed->request);
}

}  // namespace

TEST(RequestParser, GetRequestGivesDecodedPathAndRawQuery) {
    strParsed p;
    Parse(&p, "GET /api/trend?machine=Pump%201&a=%26 HTTP/1.1\r\nHost: h\r\n");
    EXPECT_EQ(MethodGet, p.request.method);
    EXPECT_STREQ("api/trend", p.request.resource);
    EXPECT_STREQ("machine=Pump%201&a=%26", p.request.query);
    EXPECT_FALSE(p.request.badEncoding);
}

TEST(RequestParser, PathWithoutQueryHasNoQuery) {
    strParsed p;
    Parse(&p, "GET /api/machines HTTP/1.1\r\n");
    EXPECT_STREQ("api/machines", p.request.resource);
    EXPECT_EQ(nullptr, p.request.query);
    Parse(&p, "GET /api/machines? HTTP/1.1\r\n");
    EXPECT_STREQ("", p.request.query);
}

TEST(RequestParser, PathIsCutAtTheLiteralQuestionMarkOnly) {
    strParsed p;
    Parse(&p, "GET /%61pi/a%3Fb%2Fc?x=1 HTTP/1.1\r\n");
    EXPECT_STREQ("api/a?b/c", p.request.resource);
    EXPECT_STREQ("x=1", p.request.query);
}

TEST(RequestParser, PercentDecodingIsOnePass) {
    strParsed p;
    Parse(&p, "GET /%41%4%zz%2541%4a+ HTTP/1.1\r\n");
    EXPECT_STREQ("A%4%zz%41J+", p.request.resource);
}

TEST(RequestParser, NulInThePathIsBad) {
    strParsed p;
    Parse(&p, "GET /api/x%00y HTTP/1.1\r\n");
    EXPECT_EQ(MethodGet, p.request.method);
    EXPECT_TRUE(p.request.badEncoding);
}

TEST(RequestParser, OnlyUpperCaseGetIsRecognised) {
    strParsed p;
    Parse(&p, "get /x HTTP/1.1\r\n");
    EXPECT_EQ(MethodUnknown, p.request.method);
    EXPECT_EQ(nullptr, p.request.resource);
    Parse(&p, "POST /api/x HTTP/1.1\r\nOrigin: o\r\n");
    EXPECT_EQ(MethodUnknown, p.request.method);
    Parse(&p, "GET /x\r\n");
    EXPECT_EQ(MethodUnknown, p.request.method);
    Parse(&p, "GET  /x HTTP/1.1\r\n");
    EXPECT_EQ(MethodUnknown, p.request.method);
}

TEST(RequestParser, RequestLineEndsAtACarriageReturnOrLineFeed) {
    strParsed p;
    for (const char* view : {"GET /a HTTP/1.1\rHost: h\r\n", "\rGET /a HTTP/1.1\r\n"}) {
        Parse(&p, view);
        EXPECT_STREQ("a", p.request.resource) << view;
    }
    // The protocol word must stand on the request line itself.
    for (const char* view : {"GET /a\rX: HTTP/1.1\r\n", "GET /a\nX: HTTP/1.1\r\n"}) {
        Parse(&p, view);
        EXPECT_EQ(MethodUnknown, p.request.method) << view;
    }
}

// What each request says about its connection, from its version and its
// Connection header lines.
TEST(RequestParser, ConnectionFateComesFromVersionAndTokens) {
    const struct {
        const char* view;
        eConnectionFate fate;
    } cases[] = {
        {"GET /a HTTP/1.1\r\nHost: h\r\n", FateKeep},
        {"GET /a HTTP/1.1\r\nConnection: close\r\n", FateClose},
        {"GET /a HTTP/1.1\r\nCONNECTION:CLOSE\r\n", FateClose},
        {"GET /a HTTP/1.1\r\nConnection: \tUpgrade ,, Close\t\r\n", FateClose},
        {"GET /a HTTP/1.1\r\nConnection: TE\r\nHost: h\r\nconnection: close\r\n", FateClose},
        {"GET /a HTTP/1.1\rConnection: close\r\n", FateClose},
        {"GET /a HTTP/1.1\r\nConnection: keep-alive\r\n", FateKeep},
        {"GET /a HTTP/1.1\r\nConnection: closed, unclose, clo se\r\n", FateKeep},
        {"GET /a HTTP/1.1\r\nConnection : close\r\n", FateKeep},
        {"GET /a HTTP/1.1\r\nX-Connection: close\r\n", FateKeep},
        {"GET /a HTTP/1.1\r\nHost: connection: close\r\n", FateKeep},
        {"GET /a HTTP/1.0\r\n", FateClose},
        {"GET /a HTTP/1.0\r\nConnection: Keep-Alive\r\n", FateKeepAnnounced},
        {"GET /a HTTP/1.0\r\nConnection: keep-alive, close\r\n", FateClose},
        {"GET /a HTTP/1.00\r\n", FateKeep},
        {"GET /a?v=HTTP/1.0 HTTP/1.1\r\n", FateKeep},
    };
    strParsed p;
    for (const auto& c : cases) {
        Parse(&p, c.view);
        EXPECT_EQ(c.fate, FateOf(p.request)) << c.view;
        EXPECT_EQ(MethodGet, p.request.method) << c.view;
        EXPECT_STREQ("a", p.request.resource) << c.view;
    }
}

TEST(RequestParser, ValidatorHeadersAreTakenTrimmed) {
    strParsed p;
    Parse(&p,
          "GET /a HTTP/1.1\r\nIf-None-Match:  \"x\", W/\"y\" \r\n"
          "if-modified-since: Sun, 06 Nov 1994 08:49:37 GMT\r\n");
    EXPECT_STREQ("\"x\", W/\"y\"", p.request.ifNoneMatch);
    EXPECT_STREQ("Sun, 06 Nov 1994 08:49:37 GMT", p.request.ifModifiedSince);
    Parse(&p, "GET /a HTTP/1.1\r\nIf-None-Match-Not: x\r\n");
    EXPECT_EQ(nullptr, p.request.ifNoneMatch);
    EXPECT_EQ(nullptr, p.request.ifModifiedSince);
}

TEST(RequestParser, ListElementsAreTrimmedAndEmptyOnesSkipped) {
    const char* cursor = " a ,,\tbc\t, , d";
    std::string seen;
    size_t length;
    for (const char* element; (element = NextListElement(&cursor, &length)) != nullptr;) {
        seen += "[" + std::string(element, length) + "]";
    }
    EXPECT_EQ("[a][bc][d]", seen);
}

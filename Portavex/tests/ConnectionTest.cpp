// What an answer says about the connection and what then happens to it:
// answers after which the server closes say "Connection: close" and the
// peer reads the end of the stream right after them; a request may ask for
// the close; HTTP/1.0 keeps the connection only when it asks to.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "HttpClient.h"
#include "Portavex.h"
#include "ScriptedCallback.h"
#include "TempFolder.h"
#include "TestPlatform.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kPoweredBy = "X-Powered-By: QUELM\r\n";
const std::string kClose = "Connection: close\r\n";
const std::string kKeepAlive = "Connection: keep-alive\r\n";
const std::string kOrigin = "Access-Control-Allow-Origin: *\r\n";
const std::string kVary = "Vary: Accept-Encoding\r\n";
// Far below the idle time-out: a close that waits for it is a failure.
constexpr int kPromptCloseMs = 3000;
// Long enough to see that an open connection is not closed.
constexpr int kStaysOpenMs = 300;

std::string Head(const std::string& status, const std::string& lines) {
    return "HTTP/1.1 " + status + "\r\n" + kPoweredBy + lines + "\r\n";
}

// An answer of the API: its body could go gzip-coded, so it varies;
// connection is the Connection line or "".
std::string Json(const std::string& status, const std::string& body, const std::string& connection,
                 const std::string& origin = "") {
    return Head(status, "Content-Type: " + RegisteredType(".json") + "\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\n" + origin + kVary + connection) +
           body;
}

std::string Request(const std::string& line, const std::string& headers) {
    return line + "\r\nHost: h\r\n" + headers + "\r\n";
}

struct strConnectionCase {
    const char* what;
    std::string request;
    std::string answer;
    bool closes;
};

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Write("root/index.html", "<p>index</p>");
        std::string root = (folder.Path() / "root").string();
        char document[] = "index.html";
        ASSERT_TRUE(server.Start(0, ScriptedCallback, kTestResultsSize, &root[0], document));
    }

    // Sends each request on a connection of its own: the answer must come
    // byte for byte, then either the end of the stream at once or nothing.
    void Expect(const strConnectionCase* cases, size_t count) {
        for (size_t i = 0; i < count; i++) {
            const strConnectionCase& c = cases[i];
            TestClient client(server.GetPort());
            client.Send(c.request);
            if (c.closes) {
                Clock::time_point start = Clock::now();
                EXPECT_EQ(c.answer, WithoutValidators(client.ReadUntilClosed(kPromptCloseMs)))
                    << c.what;
                EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kPromptCloseMs))
                    << c.what;
                continue;
            }
            EXPECT_EQ(c.answer, client.ReadAnswer()) << c.what;
            EXPECT_EQ("<timeout>", client.ReadUntilClosed(kStaysOpenMs)) << c.what;
        }
    }

    TempFolder folder;
    Portavex server;
};

TEST_F(ConnectionTest, EveryAnswerThatEndsTheConnectionSaysSo) {
    const std::string filler = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    std::string tooMany;
    while (tooMany.size() < 70 * 1024) tooMany += filler;
    const strConnectionCase cases[] = {
        {"result 400", GetRequest("/api/r1"), Json("400 BAD REQUEST", "{\"r\":1}", kClose), true},
        {"result 404 with origin", GetRequest("/api/r3", "Origin: o\r\n"),
         Json("404 NOT FOUND", "{\"r\":3}", kClose, kOrigin), true},
        {"result 500", GetRequest("/api/r4"),
         Json("500 INTERNAL SERVER ERROR", "{\"r\":4}", kClose), true},
        {"result 501", GetRequest("/api/r5"), Json("501 NOT IMPLEMENTED", "{\"r\":5}", kClose),
         true},
        {"broken callback", GetRequest("/api/overlong"), Head("500 INTERNAL SERVER ERROR", kClose),
         true},
        {"other method", "POST /api/echo HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
         Head("501 NOT IMPLEMENTED", kClose), true},
        {"NUL in the path", GetRequest("/api/echo%00"), Head("400 BAD REQUEST", kClose), true},
        {"request line too long", GetRequest("/api/echo?x=" + std::string(2100, 'x')),
         Head("400 BAD REQUEST", kClose), true},
        {"header block too large", GetRequest("/api/echo", tooMany),
         Head("400 BAD REQUEST", kClose), true},
        {"not a request", "GET\t/ HTTP/1.1\r\n\r\n", Head("400 BAD REQUEST", kClose), true},
        {"missing file", GetRequest("/none.html"), Head("404 NOT FOUND", kClose), true},
        // Answers after which the connection stays open are unchanged.
        {"ok", GetRequest("/api/echo"), Json("200 OK", "echo|", ""), false},
        {"ok without body", GetRequest("/api/empty"), Head("200 OK", "Content-Length: 0\r\n"),
         false},
    };
    Expect(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(ConnectionTest, RequestAskingForTheCloseIsAnsweredAndClosed) {
    const std::string file =
        "Content-Type: " + RegisteredType(".html") + "\r\nContent-Length: 12\r\n";
    const strConnectionCase cases[] = {
        {"close", GetRequest("/api/echo", "Connection: close\r\n"), Json("200 OK", "echo|", kClose),
         true},
        {"odd case", GetRequest("/api/echo", "connection: ClOsE\r\n"),
         Json("200 OK", "echo|", kClose), true},
        {"in a list", GetRequest("/api/echo", "Connection: Upgrade,  close , TE\r\n"),
         Json("200 OK", "echo|", kClose), true},
        {"second header line", GetRequest("/api/echo", "Connection: TE\r\nConnection: close\r\n"),
         Json("200 OK", "echo|", kClose), true},
        {"with origin", GetRequest("/api/echo", "Connection: close\r\nOrigin: o\r\n"),
         Json("200 OK", "echo|", kClose, kOrigin), true},
        {"empty answer", GetRequest("/api/empty", "Connection: close\r\n"),
         Head("200 OK", "Content-Length: 0\r\n" + kClose), true},
        {"file", GetRequest("/index.html", "Connection: close\r\n"),
         Head("200 OK", file + kVary + kClose) + "<p>index</p>", true},
        {"error answer", GetRequest("/api/r3", "Connection: close\r\n"),
         Json("404 NOT FOUND", "{\"r\":3}", kClose), true},
        // Tokens that only resemble it.
        {"closed", GetRequest("/api/echo", "Connection: closed\r\n"), Json("200 OK", "echo|", ""),
         false},
        {"other header", GetRequest("/api/echo", "X-Connection: close\r\n"),
         Json("200 OK", "echo|", ""), false},
        {"keep-alive on 1.1", GetRequest("/api/echo", "Connection: keep-alive\r\n"),
         Json("200 OK", "echo|", ""), false},
    };
    Expect(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(ConnectionTest, Http10StaysOpenOnlyWhenItAsks) {
    const strConnectionCase cases[] = {
        {"1.0", Request("GET /api/echo HTTP/1.0", ""), Json("200 OK", "echo|", kClose), true},
        {"1.0 keep-alive", Request("GET /api/echo HTTP/1.0", "Connection: Keep-Alive\r\n"),
         Json("200 OK", "echo|", kKeepAlive), false},
        {"1.0 keep-alive, no body",
         Request("GET /api/empty HTTP/1.0", "Connection: keep-alive\r\n"),
         Head("200 OK", "Content-Length: 0\r\n" + kKeepAlive), false},
        {"1.0 keep-alive and close",
         Request("GET /api/echo HTTP/1.0", "Connection: keep-alive, close\r\n"),
         Json("200 OK", "echo|", kClose), true},
        {"1.0 keep-alive, error", Request("GET /api/r3 HTTP/1.0", "Connection: keep-alive\r\n"),
         Json("404 NOT FOUND", "{\"r\":3}", kClose), true},
    };
    Expect(cases, sizeof cases / sizeof cases[0]);
}

// A kept HTTP/1.0 connection serves the next request like any other.
TEST_F(ConnectionTest, KeptHttp10ConnectionServesTheNextRequest) {
    TestClient client(server.GetPort());
    const std::string request = Request("GET /api/echo HTTP/1.0", "Connection: keep-alive\r\n");
    for (int i = 0; i < 3; i++) {
        client.Send(request);
        EXPECT_EQ(Json("200 OK", "echo|", kKeepAlive), client.ReadAnswer()) << i;
    }
    client.Send(Request("GET /api/echo HTTP/1.0", ""));
    EXPECT_EQ(Json("200 OK", "echo|", kClose), client.ReadUntilClosed(kPromptCloseMs));
}

// Pipelined after a request that asks for the close: nothing more is
// answered.
TEST_F(ConnectionTest, RequestsAfterTheCloseAreNotAnswered) {
    int calls = callbackLog.calls;
    TestClient client(server.GetPort());
    client.Send(GetRequest("/api/echo", "Connection: close\r\n") + GetRequest("/api/echo"));
    EXPECT_EQ(Json("200 OK", "echo|", kClose), client.ReadUntilClosed(kPromptCloseMs));
    EXPECT_EQ(calls + 1, callbackLog.calls);
}

}  // namespace

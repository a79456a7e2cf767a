// GET /metrics routed to the metrics callback, and the server's counters,
// over real sockets.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "HttpClient.h"
#include "Portavex.h"
#include "ScriptedCallback.h"
#include "TempFolder.h"

namespace {

const char kMetricsBody[] = "up 1\n";
constexpr unsigned long kMetricsSize = 64;
// A text file large enough to go gzip-coded.
constexpr size_t kCodedFileSize = 4096;

// Answers with kMetricsBody, or with an error when the buffer is too small
// for it (the test gives it a small one to make it fail).
eRequestResult MetricsCallback(char* results, unsigned long* resultsLength,
                               unsigned long resultsSize) {
    const unsigned long length = sizeof kMetricsBody - 1;
    if (length > resultsSize) return ServiceError;
    std::memcpy(results, kMetricsBody, length);
    *resultsLength = length;
    return Ok;
}

class MetricsRouteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Write("root/metrics", "a file named metrics");
        folder.Write("root/index.html", "<p>index</p>");
    }

    void Start(::MetricsCallback callback, unsigned long size) {
        std::string root = (folder.Path() / "root").string();
        char document[] = "index.html";
        server.SetMetricsCallback(callback, size);
        ASSERT_TRUE(server.Start(0, ScriptedCallback, kTestResultsSize, &root[0], document));
    }

    TempFolder folder;
    Portavex server;
};

TEST_F(MetricsRouteTest, MetricsGoToTheCallbackAsPlainTextAndKeepTheConnection) {
    Start(MetricsCallback, kMetricsSize);
    TestClient client(server.GetPort());
    client.Send(GetRequest("/metrics"));
    EXPECT_EQ(
        "HTTP/1.1 200 OK\r\nX-Powered-By: QUELM\r\n"
        "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: 5\r\n\r\n" +
            std::string(kMetricsBody),
        client.ReadAnswer());
    client.Send(GetRequest("/api/echo"));
    EXPECT_NE(std::string::npos, client.ReadAnswer().find("\r\n\r\necho|"))
        << "the API is where it was, on the same connection";
}

TEST_F(MetricsRouteTest, FailingCallbackAnswersItsResultAndCloses) {
    Start(MetricsCallback, 1);
    TestClient client(server.GetPort());
    client.Send(GetRequest("/metrics"));
    EXPECT_EQ(
        "HTTP/1.1 500 INTERNAL SERVER ERROR\r\nX-Powered-By: QUELM\r\nConnection: "
        "close\r\n\r\n",
        client.ReadUntilClosed());
}

TEST_F(MetricsRouteTest, WithoutCallbackMetricsIsAFilePath) {
    Start(nullptr, kMetricsSize);
    TestClient client(server.GetPort());
    client.Send(GetRequest("/metrics"));
    EXPECT_NE(std::string::npos, client.ReadAnswer().find("a file named metrics"));
}

// Connections accepted and open, and file answers by status; API answers and
// metrics answers are not file answers.
TEST_F(MetricsRouteTest, CountersFollowConnectionsAndFileAnswers) {
    Start(MetricsCallback, kMetricsSize);
    {
        TestClient client(server.GetPort());
        client.Send(GetRequest("/metrics") + GetRequest("/api/echo") + GetRequest("/index.html"));
        for (int answer = 0; answer < 3; ++answer) client.ReadAnswer();
        strPortavexCounters open;
        server.GetCounters(&open);
        EXPECT_EQ(1u, open.connectionsOpen);
        client.Send(GetRequest("/missing.txt"));
        client.ReadUntilClosed();
    }
    {
        TestClient client(server.GetPort());
        client.Send(GetRequest("/metrics") + GetRequest("/missing.txt"));
        client.ReadUntilClosed();
    }
    strPortavexCounters counters;
    server.GetCounters(&counters);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (counters.connectionsOpen > 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        server.GetCounters(&counters);
    }
    EXPECT_EQ(2u, counters.connectionsAccepted);
    EXPECT_EQ(0u, counters.connectionsOpen) << "both connections ended";
    EXPECT_EQ(1u, counters.fileAnswers[Ok]);
    EXPECT_EQ(2u, counters.fileAnswers[NotFound]);
    EXPECT_EQ(0u, counters.fileNotModified);
    const std::uint64_t others =
        counters.fileAnswers[BadRequest] + counters.fileAnswers[Unauthorized] +
        counters.fileAnswers[ServiceError] + counters.fileAnswers[NotImplemented];
    EXPECT_EQ(0u, others);
}

// A file answer telling the client its copy is current counts as a 304,
// not as a 200; a metrics answer that ends the connection says so.
TEST_F(MetricsRouteTest, NotModifiedAnswersAndClosingMetricsAnswers) {
    Start(MetricsCallback, kMetricsSize);
    TestClient client(server.GetPort());
    client.Send(GetRequest("/index.html", "If-None-Match: *\r\n"));
    EXPECT_EQ(0u, client.ReadAnswer().find("HTTP/1.1 304 NOT MODIFIED\r\n"));
    client.Send(GetRequest("/metrics", "Connection: close\r\n"));
    EXPECT_EQ(
        "HTTP/1.1 200 OK\r\nX-Powered-By: QUELM\r\n"
        "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: 5\r\n"
        "Connection: close\r\n\r\n" +
            std::string(kMetricsBody),
        client.ReadUntilClosed());
    strPortavexCounters counters;
    server.GetCounters(&counters);
    EXPECT_EQ(1u, counters.fileNotModified);
    EXPECT_EQ(0u, counters.fileAnswers[Ok]);
}

// A text file goes gzip-coded to a request that accepts it and plain to one
// that does not; both count as file answers of their status alike.
TEST_F(MetricsRouteTest, CodedAndPlainFileAnswersCountAlike) {
    folder.Write("root/big.txt", std::string(kCodedFileSize, 'a'));
    Start(MetricsCallback, kMetricsSize);
    TestClient client(server.GetPort());
    client.Send(GetRequest("/big.txt", "Accept-Encoding: gzip\r\n"));
    EXPECT_NE(std::string::npos, client.ReadAnswer().find("\r\nContent-Encoding: gzip\r\n"));
    client.Send(GetRequest("/big.txt"));
    EXPECT_EQ(std::string::npos, client.ReadAnswer().find("Content-Encoding"));
    strPortavexCounters counters;
    server.GetCounters(&counters);
    EXPECT_EQ(2u, counters.fileAnswers[Ok]);
}

}  // namespace

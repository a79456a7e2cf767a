// Cutting a connection's byte stream into requests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RequestFramer.h"

using namespace portavex;

namespace {

// Feeds text in receives of at most piece bytes; returns the first result
// other than FrameNeedMore, or FrameNeedMore when all was taken.
eFrameResult Feed(RequestFramer& framer, const std::string& text, size_t piece) {
    size_t done = 0;
    while (done < text.size()) {
        size_t count = std::min({piece, text.size() - done, framer.ReceiveAreaSize()});
        std::memcpy(framer.ReceiveArea(), text.data() + done, count);
        framer.Received(count);
        done += count;
        eFrameResult result = framer.Scan();
        if (result != FrameNeedMore) {
            EXPECT_EQ(done, text.size()) << "request ended before its input";
            return result;
        }
    }
    return FrameNeedMore;
}

std::string View(RequestFramer& framer) {
    return std::string(framer.View(), framer.ViewLength());
}

}  // namespace

TEST(RequestFramer, RequestSplitIntoSingleBytesIsOneRequest) {
    RequestFramer framer;
    const std::string request = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    EXPECT_EQ(FrameNeedMore, Feed(framer, request.substr(0, request.size() - 1), 1));
    EXPECT_EQ(FrameComplete, Feed(framer, "\n", 1));
    EXPECT_EQ("GET /a HTTP/1.1\r\nHost: x\r\n", View(framer));
    EXPECT_STREQ(framer.View(), View(framer).c_str());
}

TEST(RequestFramer, PipelinedRequestsComeOutInOrder) {
    RequestFramer framer;
    const std::string input = "GET /1 HTTP/1.1\r\nOrigin: o\r\n\r\nGET /2 HTTP/1.1\n\nGET /3";
    std::memcpy(framer.ReceiveArea(), input.data(), input.size());
    framer.Received(input.size());
    ASSERT_EQ(FrameComplete, framer.Scan());
    EXPECT_EQ("GET /1 HTTP/1.1\r\nOrigin: o\r\n", View(framer));
    EXPECT_TRUE(framer.HasOrigin());
    EXPECT_TRUE(framer.HasInput());
    framer.BeginRequest();
    ASSERT_EQ(FrameComplete, framer.Scan());
    EXPECT_EQ("GET /2 HTTP/1.1\n", View(framer));
    // Each request starts without the Origin of the one before.
    EXPECT_FALSE(framer.HasOrigin());
    framer.BeginRequest();
    EXPECT_EQ(FrameNeedMore, framer.Scan());
    EXPECT_FALSE(framer.HasInput());
    EXPECT_EQ(FrameComplete, Feed(framer, " HTTP/1.1\r\n\r\n", 100));
    EXPECT_EQ("GET /3 HTTP/1.1\r\n", View(framer));
}

TEST(RequestFramer, EmptyLinesBeforeARequestAreSkipped) {
    RequestFramer framer;
    EXPECT_EQ(FrameComplete, Feed(framer, "\r\n\r\nGET / HTTP/1.1\r\n\r\n", 3));
    EXPECT_EQ("GET / HTTP/1.1\r\n", View(framer));
}

TEST(RequestFramer, ViewKeepsTheWholeLinesThatFit) {
    RequestFramer framer;
    std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";  // 1012 bytes
    std::string head = "GET /a HTTP/1.1\r\n" + line + line;             // 2041 bytes
    std::string request = head + "Origin: late\r\n" + line + "\r\n";
    EXPECT_EQ(FrameComplete, Feed(framer, request, 700));
    EXPECT_EQ(head, View(framer));
    EXPECT_EQ(head.size(), std::strlen(framer.View()));
}

TEST(RequestFramer, RequestLineLongerThanTheViewIsRefusedAtTheEndOfTheRequest) {
    RequestFramer framer;
    std::string line = "GET /" + std::string(kRequestViewSize, 'a') + " HTTP/1.1\r\n";
    EXPECT_EQ(FrameNeedMore, Feed(framer, line + "Host: h\r\n", 512));
    EXPECT_EQ(FrameLineTooLong, Feed(framer, "\r\n", 512));
}

TEST(RequestFramer, RequestLineThatJustFitsIsKept) {
    RequestFramer framer;
    std::string line = "GET /" + std::string(kRequestViewSize - 16, 'a') + " HTTP/1.1\r\n";
    ASSERT_EQ(kRequestViewSize, line.size());
    EXPECT_EQ(FrameComplete, Feed(framer, line + "\r\n", 512));
    EXPECT_EQ(line, View(framer));
}

TEST(RequestFramer, HeaderBlockOverTheLimitIsRefused) {
    RequestFramer framer;
    std::string line = "X-Filler: " + std::string(990, 'f') + "\r\n";
    std::string request = "GET /a HTTP/1.1\r\n";
    while (request.size() < kHeaderBlockLimit) request += line;
    EXPECT_EQ(FrameBlockTooLarge, Feed(framer, request + "\r\n", 4096));
}

TEST(RequestFramer, HeaderBlockJustUnderTheLimitIsAccepted) {
    RequestFramer framer;
    std::string request = "GET /a HTTP/1.1\r\nX: ";
    request += std::string(kHeaderBlockLimit - request.size() - 4, 'f') + "\r\n\r\n";
    ASSERT_EQ(kHeaderBlockLimit, request.size());
    EXPECT_EQ(FrameComplete, Feed(framer, request, 4096));
    EXPECT_EQ("GET /a HTTP/1.1\r\n", View(framer));
}

TEST(RequestFramer, OriginIsSeenOnEveryHeaderLineSplitAtCarriageReturnsAndLineFeeds) {
    const std::string filler = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    std::string manyLines;
    while (manyLines.size() < kHeaderBlockLimit) manyLines += filler;
    const struct {
        std::string request;
        eFrameResult result;
        bool origin;
    } cases[] = {
        {"GET / HTTP/1.1\r\nOrigin: a\r\n\r\n", FrameComplete, true},
        {"GET / HTTP/1.1\r\nHost: h\r\nORIGIN:x\n\n", FrameComplete, true},
        {"GET / HTTP/1.1\r\nHost: h\rOrigin: a\r\n\r\n", FrameComplete, true},
        {"GET / HTTP/1.1\rorigin: a\r\n\r\n", FrameComplete, true},
        {"\r\nGET / HTTP/1.1\n\r\rOrigin: a\n\n", FrameComplete, true},
        {"GET / HTTP/1.1\r\n" + filler + filler + "Origin: late\r\n\r\n", FrameComplete, true},
        {"GET /Origin HTTP/1.1\r\nX-Origin: a\r\nHost: Origin\r\n\r\n", FrameComplete, false},
        {"Origin: a\r\n\r\n", FrameNotARequest, false},
        {"Origin / HTTP/1.1\r\n\r\n", FrameComplete, false},
        {"GET / HTTP/1.1\r\nOrigi\r\n\r\n", FrameComplete, false},
        {"GET /" + std::string(kRequestViewSize, 'a') + " HTTP/1.1\r\nOrigin: a\r\n\r\n",
         FrameLineTooLong, true},
        {"GET /" + std::string(kRequestViewSize, 'a') + " HTTP/1.1\r\n\r\n", FrameLineTooLong,
         false},
        {"GET / HTTP/1.1\r\nOrigin: a\r\n" + manyLines, FrameBlockTooLarge, true},
        {"GET / HTTP/1.1\r\n" + manyLines, FrameBlockTooLarge, false},
    };
    for (const auto& c : cases) {
        RequestFramer framer;
        std::string input = c.request;
        if (c.result == FrameBlockTooLarge) input.resize(kHeaderBlockLimit + 1);
        EXPECT_EQ(c.result, Feed(framer, input, 777)) << c.request.substr(0, 60);
        EXPECT_EQ(c.origin, framer.HasOrigin()) << c.request.substr(0, 60);
    }
}

// A good request with one byte replaced: where a request line cannot hold
// the byte, the framer refuses it at that byte, before the request is over.
TEST(RequestFramer, ByteThatNoRequestLineHoldsIsRefusedWhereItStands) {
    const std::string good = "GET /api/x?a=1 HTTP/1.1\r\nHost: h\r\n\r\n";
    const size_t method = 1, target = 8, header = good.find("h\r\n");
    const struct {
        size_t at;
        char byte;
        bool refused;
    } cases[] = {
        {0, '\x16', true},  // a TLS handshake
        {0, ' ', true},     // no method at all
        {method, '\0', true},
        {method, '\t', true},
        {method, '/', true},
        {method, '(', true},
        {method, '"', true},
        {method, '\x80', true},
        {method, '~', false},  // an unknown method, answered as such
        {method, 'e', false},
        {target, '\x01', true},
        {target, '\t', true},
        {target, '\x7f', true},
        {target, '\0', true},
        {target, '\xe9', false},  // text beyond ASCII is the parser's to judge
        {target, '"', false},
        {target, '\r', false},  // ends the request line early
        {header, '\x01', false},
    };
    for (const auto& c : cases) {
        std::string request = good;
        request[c.at] = c.byte;
        RequestFramer framer;
        SCOPED_TRACE("byte " + std::to_string(static_cast<unsigned char>(c.byte)) + " at " +
                     std::to_string(c.at));
        if (!c.refused) {
            EXPECT_EQ(FrameComplete, Feed(framer, request, 5));
            continue;
        }
        EXPECT_EQ(FrameNeedMore, Feed(framer, request.substr(0, c.at), 1));
        EXPECT_EQ(FrameNotARequest, Feed(framer, request.substr(c.at, 1), 1));
    }
}

TEST(RequestFramer, EveryCharacterOfAMethodNameAndEmptyLinesBeforeItAreAccepted) {
    RequestFramer framer;
    const std::string request = "\r\n\n!#$%&'*+-.^_`|~09azAZ / HTTP/1.1\r\n\r\n";
    EXPECT_EQ(FrameComplete, Feed(framer, request, 3));
    EXPECT_EQ(request.substr(3, request.size() - 5), View(framer));
}

// gzip-coded answers over real sockets: which requests and answers are
// coded, the 1 KB threshold, the Vary line, and coded bodies that decode to
// exactly the plain answers, for the API and for files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Gunzip.h"
#include "HttpClient.h"
#include "Portavex.h"
#include "ScriptedCallback.h"
#include "TempFolder.h"
#include "TestPlatform.h"

namespace {

const std::string kAcceptGzip = "Accept-Encoding: gzip, deflate, br\r\n";
const std::string kCodedLine = "\r\nContent-Encoding: gzip\r\n";
const std::string kVaryLine = "\r\nVary: Accept-Encoding\r\n";

struct strAnswer {
    std::string header;  // through the empty line
    std::string body;    // as sent
};

strAnswer Split(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    if (end == std::string::npos) return {answer, ""};
    return {answer.substr(0, end + 4), answer.substr(end + 4)};
}

bool Has(const std::string& header, const std::string& line) {
    return header.find(line) != std::string::npos;
}

// Text as compressible as a page, length bytes.
std::string PageText(size_t length) {
    std::string text;
    while (text.size() < length) text += "<p>Velocidad 1H 2.79 mm/s, Temperatura 61.5 C</p>\n";
    text.resize(length);
    return text;
}

class GzipAnswerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Write("root/index.html", "<p>index</p>");
        server = std::make_unique<Portavex>();
        std::string root = (folder.Path() / "root").string();
        char document[] = "index.html";
        ASSERT_TRUE(server->Start(0, ScriptedCallback, kTestResultsSize, &root[0], document));
    }

    // One answer to a GET of target with the extra header lines, on a new
    // connection.
    strAnswer Fetch(const std::string& target, const std::string& headers = "") {
        TestClient client(server->GetPort());
        client.Send(GetRequest(target, headers));
        return Split(client.ReadAnswer(20000));
    }

    // Asks for target plainly and with gzip allowed: the plain answer must
    // carry Vary and no coding, the other must be coded (when coded says
    // so) and decode to the plain body.
    void ExpectCodedAsPlain(const std::string& target, bool coded) {
        const strAnswer plain = Fetch(target);
        EXPECT_TRUE(Has(plain.header, kVaryLine)) << target << plain.header;
        EXPECT_FALSE(Has(plain.header, kCodedLine)) << target;
        const strAnswer answer = Fetch(target, kAcceptGzip);
        EXPECT_TRUE(Has(answer.header, kVaryLine)) << target << answer.header;
        EXPECT_EQ(coded, Has(answer.header, kCodedLine)) << target << answer.header;
        EXPECT_TRUE(Has(answer.header,
                        "\r\nContent-Length: " + std::to_string(answer.body.size()) + "\r\n"));
        std::string decoded = answer.body;
        if (coded) {
            ASSERT_TRUE(Gunzip(answer.body, &decoded)) << target;
            EXPECT_LT(answer.body.size(), plain.body.size()) << target;
        }
        EXPECT_TRUE(decoded == plain.body) << target;
    }

    TempFolder folder;
    std::unique_ptr<Portavex> server;
};

// A coded answer leaves the connection's coder holding zlib's state and a
// buffer; a connection that then waits gives them back after a second, so
// that keep-alive clients that once fetched a large answer hold nothing.
TEST_F(GzipAnswerTest, WaitingConnectionsGiveTheirCodersBack) {
    const int kConnections = 16;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int c = 0; c < kConnections; c++) {
        clients.push_back(std::make_unique<TestClient>(server->GetPort()));
        clients.back()->Send(GetRequest("/api/echo"));
        ASSERT_FALSE(clients.back()->ReadAnswer().empty());
    }
    const long long before = HeapInUse();
    if (before < 0) GTEST_SKIP() << "the platform does not tell the heap in use";
    for (auto& client : clients) {
        client->Send(GetRequest("/api/text" + std::to_string(kTestResultsSize), kAcceptGzip));
        ASSERT_TRUE(Has(Split(client->ReadAnswer()).header, kCodedLine));
    }
    const long long coding = HeapInUse() - before;
    // zlib's state alone is over 256 KB a connection.
    EXPECT_GT(coding, kConnections * 256 * 1024);
    // Given back a second after the answers; a busy machine may wake the
    // threads late.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (HeapInUse() - before >= coding / 8 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_LT(HeapInUse() - before, coding / 8);
    // A coder given back is made again for the next coded answer.
    ExpectCodedAsPlain("/api/text5000", true);
}

TEST_F(GzipAnswerTest, ApiAnswersAboveOneKilobyteGoCoded) {
    ExpectCodedAsPlain("/api/text1024", false);
    ExpectCodedAsPlain("/api/text1025", true);
    ExpectCodedAsPlain("/api/text" + std::to_string(kTestResultsSize), true);
    // The status follows the callback also when the body is coded.
    ExpectCodedAsPlain("/api/r3", false);
}

TEST_F(GzipAnswerTest, OnlyAcceptEncodingThatAllowsGzipGetsIt) {
    const struct {
        std::string headers;
        bool coded;
    } cases[] = {
        // The whole table of values is AcceptEncodingTest's; these show
        // that the request's header lines reach the decision.
        {"accept-encoding: br;q=1, x-gzip;q=0.2\r\n", true},
        {"Accept-Encoding: *\r\n", true},
        {"Accept-Encoding: gzip;q=0\r\n", false},
        {"Accept-Encoding: identity\r\n", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const strAnswer answer = Fetch("/api/text5000", c.headers);
        EXPECT_EQ(c.coded, Has(answer.header, kCodedLine)) << c.headers;
        EXPECT_TRUE(Has(answer.header, kVaryLine)) << c.headers;
    }
}

TEST_F(GzipAnswerTest, CodedLinesFollowTheOthersAndTheConnectionStaysOpen) {
    TestClient client(server->GetPort());
    client.Send(GetRequest("/api/text2000", kAcceptGzip + "Origin: x\r\n") +
                GetRequest("/api/echo", kAcceptGzip));
    const strAnswer coded = Split(client.ReadAnswer());
    const std::string expected =
        "HTTP/1.1 200 OK\r\nX-Powered-By: QUELM\r\nContent-Type: " + RegisteredType(".json") +
        "\r\nContent-Length: " + std::to_string(coded.body.size()) +
        "\r\nAccess-Control-Allow-Origin: *\r\n"
        "Content-Encoding: gzip\r\nVary: Accept-Encoding\r\n\r\n";
    EXPECT_EQ(expected, coded.header);
    std::string decoded;
    ASSERT_TRUE(Gunzip(coded.body, &decoded));
    EXPECT_EQ(2000u, decoded.size());
    EXPECT_EQ("echo|", Split(client.ReadAnswer()).body);
}

TEST_F(GzipAnswerTest, AnswersThatNeverVaryHaveNoVaryLine) {
    folder.Write("root/data.bin", PageText(5000));
    const std::string targets[] = {"/missing.html", "/data.bin", "/api/empty", "/api/r9"};
    for (const std::string& target : targets) {
        const strAnswer answer = Fetch(target, kAcceptGzip);
        EXPECT_FALSE(Has(answer.header, "Vary:")) << target << answer.header;
        EXPECT_FALSE(Has(answer.header, "Content-Encoding:")) << target;
    }
    EXPECT_EQ(PageText(5000), Fetch("/data.bin", kAcceptGzip).body);
}

TEST_F(GzipAnswerTest, TextFilesAboveOneKilobyteGoCoded) {
    const struct {
        const char* name;
        size_t size;
        bool coded;
    } cases[] = {
        {"small.html", 1024, false},
        {"page.html", 1025, true},
        {"PAGE.HTM", 3000, true},
        {"app.js", 70000, true},
        {"style.css", 3000, true},
        {"data.json", 3000, true},
        {"logo.svg", 3000, true},
        {"notes.txt", 3000, true},
        {"empty.txt", 0, false},
        // Larger than the results buffer: sent as it is.
        {"huge.html", kTestResultsSize + 1, false},
    };
    for (const auto& c : cases) {
        folder.Write(std::string("root/") + c.name, PageText(c.size));
        if (c.size == 0) continue;
        ExpectCodedAsPlain(std::string("/") + c.name, c.coded);
    }
}

TEST_F(GzipAnswerTest, ChangedFileIsCodedAfresh) {
    const std::filesystem::path path = folder.Write("root/live.html", PageText(4000));
    std::string decoded;
    ASSERT_TRUE(Gunzip(Fetch("/live.html", kAcceptGzip).body, &decoded));
    EXPECT_EQ(PageText(4000), decoded);
    // Same size, other content and time; then another size.
    const std::string changed = "<!-- changed -->" + PageText(4000 - 16);
    folder.Write("root/live.html", changed);
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    ASSERT_TRUE(Gunzip(Fetch("/live.html", kAcceptGzip).body, &decoded));
    EXPECT_EQ(changed, decoded);
    folder.Write("root/live.html", PageText(3000));
    ASSERT_TRUE(Gunzip(Fetch("/live.html", kAcceptGzip).body, &decoded));
    EXPECT_EQ(PageText(3000), decoded);
}

// The coded answer of a file is another representation with a tag of its
// own; a request's tag matches only the representation it would get, and the
// 304 names that one.
TEST_F(GzipAnswerTest, CodedFileHasItsOwnTagAndRevalidatesWithIt) {
    folder.Write("root/page.html", PageText(3000));
    const strAnswer plain = Fetch("/page.html");
    const strAnswer coded = Fetch("/page.html", kAcceptGzip);
    const std::string plainTag = HeaderValue(plain.header, "ETag");
    const std::string codedTag = HeaderValue(coded.header, "ETag");
    ASSERT_FALSE(plainTag.empty());
    EXPECT_EQ(plainTag.substr(0, plainTag.size() - 1) + "-gz\"", codedTag);
    const std::string lastModified = HeaderValue(coded.header, "Last-Modified");
    const std::string validators = "Last-Modified: " + lastModified + "\r\nETag: " + codedTag +
                                   "\r\nCache-Control: no-cache\r\n";
    EXPECT_EQ("HTTP/1.1 200 OK\r\nX-Powered-By: QUELM\r\nContent-Type: " + RegisteredType(".html") +
                  "\r\nContent-Length: " + std::to_string(coded.body.size()) +
                  "\r\nContent-Encoding: gzip\r\nVary: Accept-Encoding\r\n" + validators + "\r\n",
              coded.header);
    const struct {
        std::string headers;
        std::string tag;  // of the answer
        bool notModified;
    } cases[] = {
        {kAcceptGzip + "If-None-Match: " + codedTag + "\r\n", codedTag, true},
        {"If-None-Match: " + plainTag + "\r\n", plainTag, true},
        {kAcceptGzip + "If-None-Match: \"x\", W/" + codedTag + "\r\n", codedTag, true},
        // A cache holding both is told which one to use.
        {kAcceptGzip + "If-None-Match: " + plainTag + ", " + codedTag + "\r\n", codedTag, true},
        {"If-None-Match: " + plainTag + ", " + codedTag + "\r\n", plainTag, true},
        // The other representation's tag gets the whole answer.
        {kAcceptGzip + "If-None-Match: " + plainTag + "\r\n", codedTag, false},
        {"If-None-Match: " + codedTag + "\r\n", plainTag, false},
    };
    for (const auto& c : cases) {
        const strAnswer answer = Fetch("/page.html", c.headers);
        EXPECT_EQ(c.tag, HeaderValue(answer.header, "ETag")) << c.headers;
        EXPECT_EQ(c.notModified, Has(answer.header, "HTTP/1.1 304 NOT MODIFIED\r\n")) << c.headers;
        EXPECT_TRUE(Has(answer.header, kVaryLine)) << c.headers;
        EXPECT_EQ(c.notModified, answer.body.empty()) << c.headers;
        EXPECT_EQ(!c.notModified && c.tag == codedTag, Has(answer.header, kCodedLine)) << c.headers;
    }
}

// A text file that gzip would make larger goes out as it is, read from its
// start although it was read once already to code it.
TEST_F(GzipAnswerTest, TextThatDoesNotShrinkGoesPlain) {
    std::mt19937 random(11);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    folder.Write("root/noise.txt", noise);
    for (int round = 0; round < 2; round++) {  // coded, then from the cache
        ExpectCodedAsPlain("/noise.txt", false);
    }
}

}  // namespace

// Files from the root directory: default document, answers byte for byte,
// content types, names that try to leave the root, hidden files, sizes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "HttpClient.h"
#include "Portavex.h"
#include "ScriptedCallback.h"
#include "TempFolder.h"
#include "TestPlatform.h"

namespace {

const std::string kPoweredBy = "X-Powered-By: QUELM\r\n";
const std::string kNotFound =
    "HTTP/1.1 404 NOT FOUND\r\n" + kPoweredBy + "Connection: close\r\n\r\n";
const std::string kSecret = "password=very-secret";

// The answer for a file; one of a text type says that its coding depends on
// Accept-Encoding.
std::string FileAnswer(const std::string& type, const std::string& body, bool text = true) {
    return "HTTP/1.1 200 OK\r\n" + kPoweredBy + "Content-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           (text ? "Vary: Accept-Encoding\r\n" : "") + "\r\n" + body;
}

class StaticFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.Write("root/index.html", "<p>index</p>");
        folder.Write("root/page.html", "<p>page</p>");
        folder.Write("root/sub/deep.html", "deep");
        folder.Write("root/empty.html", "");
        folder.Write("root/TesmoApi.json", kSecret);
        folder.Write("secret.txt", kSecret);
        ASSERT_TRUE(Start("index.html"));
    }

    bool Start(const char* defaultDocument) {
        server = std::make_unique<Portavex>();
        std::string root = Root().string();
        std::string document = defaultDocument;
        return server->Start(0, ScriptedCallback, kTestResultsSize, &root[0], &document[0]);
    }

    // Serves a one-byte file called name and checks the type it goes with.
    void ExpectServedAs(const std::string& name, const std::string& type, bool text = false) {
        folder.Write("root/" + name, "x");
        EXPECT_EQ(FileAnswer(type, "x", text), Fetch("/" + name)) << name;
    }

    std::filesystem::path Root() const { return folder.Path() / "root"; }

    // One answer to a GET of target on a new connection.
    std::string Fetch(const std::string& target) {
        TestClient client(server->GetPort());
        client.Send(GetRequest(target));
        return WithoutValidators(WithoutValidators(client.ReadAnswer()));
    }

    TempFolder folder;
    std::unique_ptr<Portavex> server;
};

TEST_F(StaticFileTest, FileIsServedWithItsTypeAndLength) {
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page</p>"), Fetch("/page.html"));
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "deep"), Fetch("/sub/deep.html"));
}

TEST_F(StaticFileTest, DefaultDocumentServesTheBareRootAndIgnoresTheQuery) {
    TestClient client(server->GetPort());
    client.Send(GetRequest("/"));
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>index</p>"),
              WithoutValidators(client.ReadAnswer()));
    client.Send(GetRequest("/?a=1"));
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>index</p>"),
              WithoutValidators(client.ReadAnswer()));
}

TEST_F(StaticFileTest, BareRootWithoutDefaultDocumentIsNotFound) {
    ASSERT_TRUE(Start(""));
    TestClient client(server->GetPort());
    client.Send(GetRequest("/"));
    EXPECT_EQ(kNotFound, client.ReadUntilClosed());
}

TEST_F(StaticFileTest, MissingFilesAndFoldersAreNotFoundAndClose) {
    for (const char* target : {"/nothing.html", "/sub", "/sub/", "/sub/none.txt"}) {
        TestClient client(server->GetPort());
        client.Send(GetRequest(target));
        EXPECT_EQ(kNotFound, client.ReadUntilClosed()) << target;
    }
}

TEST_F(StaticFileTest, EmptyFileHasContentLengthZeroAndKeepsTheConnection) {
    TestClient client(server->GetPort());
    client.Send(GetRequest("/empty.html"));
    EXPECT_EQ("HTTP/1.1 200 OK\r\n" + kPoweredBy + "Content-Length: 0\r\n\r\n",
              WithoutValidators(client.ReadAnswer()));
    client.Send(GetRequest("/page.html"));
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page</p>"),
              WithoutValidators(client.ReadAnswer()));
}

TEST_F(StaticFileTest, UnknownAndUnusableTypesAreApplicationUnknown) {
    ExpectServedAs("noextension", "application/unknown");
    ExpectServedAs("file.abcdefgh", "application/unknown");
    ExpectServedAs("file.qqqzz", "application/unknown");
}

#if defined(_WIN32)
TEST_F(StaticFileTest, TypesComeFromTheRegistry) {
    const std::string longType(32, 't');
    ASSERT_TRUE(RegisterTestType(".pvxa", "text/x-portavex"));
    ASSERT_TRUE(RegisterTestType(".pvxb", ("text/" + longType).c_str()));
    ASSERT_TRUE(RegisterTestType(".pvxc", "text/x-portavex-exactly-31-chr"));
    ExpectServedAs("a.pvxa", "text/x-portavex");
    ExpectServedAs("b.pvxb", "application/unknown");
    ExpectServedAs("c.PVXC", "text/x-portavex-exactly-31-chr");
    UnregisterTestType(".pvxa");
    UnregisterTestType(".pvxb");
    UnregisterTestType(".pvxc");
}
#else
TEST_F(StaticFileTest, TypesComeFromMimeTypes) {
    ExpectServedAs("data.json", "application/json", true);
    ExpectServedAs("PAGE.HTM", "text/html", true);
    // Its registered type is longer than 31 characters.
    ExpectServedAs("letter.docx", "application/unknown");
}
#endif

TEST_F(StaticFileTest, DotSegmentsInsideTheRootResolve) {
    TestClient client(server->GetPort());
    for (const char* target : {"/./page.html", "/sub/../page.html", "/sub/./deep.html",
                               "/./sub/../sub/deep.html", "/sub/%2e/deep.html"}) {
        client.Send(GetRequest(target));
        std::string answer = client.ReadAnswer();
        EXPECT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << target << ": " << answer;
    }
}

TEST_F(StaticFileTest, NamesThatLeaveTheRootAreNotFound) {
    std::vector<std::string> targets = {"/../secret.txt",
                                        "/%2e%2e/secret.txt",
                                        "/%2E%2E%2Fsecret.txt",
                                        "/sub/../../secret.txt",
                                        "/..%5Csecret.txt",
                                        "/%5C..%5Csecret.txt",
                                        "/C:%5Cwindows%5Cwin.ini",
                                        "/c:/boot.ini",
                                        "/%5C%5Cserver%5Cshare%5Cx",
                                        "/TesmoApi.json::$DATA",
                                        "/CON",
                                        "/nul",
                                        "/COM1",
                                        "/aux.txt",
                                        "/LPT1.html",
                                        "/./../secret.txt",
                                        "/sub/./../../secret.txt",
                                        "/sub/..",
                                        "/."};
    std::string outside = (folder.Path() / "secret.txt").string();
    targets.push_back("/" + outside);
    targets.push_back("//" + outside);
    for (const std::string& target : targets) {
        TestClient client(server->GetPort());
        client.Send(GetRequest(target));
        std::string answer = client.ReadUntilClosed();
        EXPECT_EQ(kNotFound, answer) << target;
    }
}

// Spellings of the configuration file that reach it in the root.
std::vector<std::string> HiddenSpellings(const std::filesystem::path& file) {
    std::vector<std::string> targets = {
        "/TesmoApi.json",    "/tesmoapi.json",   "/TESMOAPI.JSON",        "/TesmoApi.json.",
        "/TesmoApi.json%20", "/%54esmoApi.json", "/sub/../TesmoApi.json", "/./TesmoApi.json"};
    std::string shortName = ShortFileName(file);
    if (!shortName.empty()) targets.push_back("/" + shortName);
    return targets;
}

class HiddenFileTest : public StaticFileTest {
  protected:
    void SetUp() override {
        StaticFileTest::SetUp();
        ASSERT_TRUE(server->HideFile(Config().string().c_str()));
    }

    std::filesystem::path Config() const { return Root() / "TesmoApi.json"; }

    // Every target is not found and leaks no byte of secret.
    void ExpectHidden(const std::vector<std::string>& targets, const std::string& secret) {
        for (const std::string& target : targets) {
            TestClient client(server->GetPort());
            client.Send(GetRequest(target));
            std::string answer = client.ReadUntilClosed();
            EXPECT_EQ(kNotFound, answer) << target;
            EXPECT_EQ(std::string::npos, answer.find(secret)) << target;
        }
    }

    // A hard link to file, added to targets where the file system has them.
    void AddHardLink(const std::filesystem::path& file, const std::string& name,
                     std::vector<std::string>* targets) {
        std::error_code error;
        std::filesystem::create_hard_link(file, Root() / name, error);
        if (!error) targets->push_back("/" + name);
    }
};

TEST_F(HiddenFileTest, HiddenFileIsNotFoundUnderAnySpelling) {
    EXPECT_FALSE(server->HideFile((Root() / "absent.json").string().c_str()));
    std::vector<std::string> targets = HiddenSpellings(Config());
    AddHardLink(Config(), "alias.txt", &targets);
    ExpectHidden(targets, kSecret);
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page</p>"), Fetch("/page.html"));
}

// The ways an editor, a configuration tool or an installer puts a new file
// where the hidden one was.
void RenameOver(const TempFolder& folder, const std::string& content) {
    std::filesystem::path fresh = folder.Write("root/TesmoApi.json.new", content);
    std::filesystem::rename(fresh, folder.Path() / "root/TesmoApi.json");
}

void DeleteAndCreate(const TempFolder& folder, const std::string& content) {
    std::filesystem::remove(folder.Path() / "root/TesmoApi.json");
    folder.Write("root/TesmoApi.json", content);
}

void CopyFromElsewhere(const TempFolder& folder, const std::string& content) {
    std::filesystem::path copy = folder.Write("new/TesmoApi.json", content);
    std::filesystem::remove(folder.Path() / "root/TesmoApi.json");
    std::filesystem::copy_file(copy, folder.Path() / "root/TesmoApi.json");
}

TEST_F(HiddenFileTest, FileSavedAgainStaysHidden) {
    const struct {
        const char* how;
        void (*save)(const TempFolder&, const std::string&);
    } saves[] = {{"renamed over", RenameOver},
                 {"deleted and created", DeleteAndCreate},
                 {"copied in", CopyFromElsewhere}};
    int round = 0;
    for (const auto& save : saves) {
        SCOPED_TRACE(save.how);
        std::string secret = "password=saved-" + std::to_string(round);
        save.save(folder, secret);
        std::vector<std::string> targets = HiddenSpellings(Config());
        AddHardLink(Config(), "link" + std::to_string(round++) + ".txt", &targets);
        ExpectHidden(targets, secret);
    }
    // The file as it was at start stays hidden under a name of its own.
    std::filesystem::remove(Config());
    EXPECT_EQ(kNotFound, Fetch("/TesmoApi.json"));
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page</p>"), Fetch("/page.html"));
}

TEST_F(HiddenFileTest, BackupsAndEditorCopiesAreNotFound) {
    const char* copies[] = {"TesmoApi.json.bak",    "TesmoApi.json~",        "TesmoApi.json.orig",
                            "tesmoapi.JSON.old",    ".TesmoApi.json.swp",    ".TesmoApi.json.swo",
                            ".tesmoapi.json.un~",   "#TesmoApi.json#",       "TesmoApi.json.save",
                            "TesmoApi - Copy.json", "TesmoApi - copia.json", "TesmoApi (2).json",
                            "TESMOAPI.old.JSON",    "sub/TesmoApi.json.bak"};
    std::vector<std::string> targets;
    for (const char* copy : copies) {
        std::filesystem::path file = folder.Write(std::string("root/") + copy, kSecret);
        targets.push_back(std::string("/") + copy);
        std::string shortName = ShortFileName(file);
        if (!shortName.empty()) targets.push_back("/" + shortName);
    }
    // A link takes the name rule to the file it leads to.
    std::error_code linkError;
    std::filesystem::create_symlink(Root() / "TesmoApi.json.bak", Root() / "pointer.txt",
                                    linkError);
    if (!linkError) targets.push_back("/pointer.txt");
    targets.push_back("/./TesmoApi.json.bak");
    targets.push_back("/sub/../TesmoApi.json.bak");
    targets.push_back("/%54esmoApi.json%7e");
    ExpectHidden(targets, kSecret);
}

TEST_F(HiddenFileTest, NamesThatOnlyResembleItAreServed) {
    for (const char* name : {"TesmoApi2.json", "MyTesmoApi.json", "api.json", "TesmoApi.jso",
                             "TesmoApi.html", "sub/TesmoApiX.json"}) {
        folder.Write(std::string("root/") + name, "x");
        std::string answer = Fetch(std::string("/") + name);
        EXPECT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << name << ": " << answer;
    }
}

TEST_F(StaticFileTest, HiddenDefaultDocumentIsNotFound) {
    ASSERT_TRUE(server->HideFile((Root() / "index.html").string().c_str()));
    TestClient client(server->GetPort());
    client.Send(GetRequest("/"));
    EXPECT_EQ(kNotFound, client.ReadUntilClosed());
}

TEST_F(StaticFileTest, NameTooLongForAPathIsAServiceError) {
    TestClient client(server->GetPort());
    client.Send(GetRequest("/" + std::string(300, 'a')));
    EXPECT_EQ("HTTP/1.1 500 INTERNAL SERVER ERROR\r\n" + kPoweredBy + "Connection: close\r\n\r\n",
              client.ReadUntilClosed());
}

TEST_F(StaticFileTest, LargeFileIsStreamedWhole) {
    std::string content;
    for (int i = 0; content.size() < 1000000; i++) content += std::to_string(i) + ",";
    folder.Write("root/large.csv", content);
    TestClient client(server->GetPort());
    client.Send(GetRequest("/large.csv"));
    std::string answer = client.ReadAnswer(20000);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(static_cast<long long>(content.size()), ContentLength(answer));
    EXPECT_TRUE(answer.size() > content.size() &&
                answer.compare(answer.size() - content.size(), content.size(), content) == 0);
}

TEST_F(StaticFileTest, FileOfTwoGigabytesOrMoreCarriesItsTrueLength) {
    const std::uintmax_t size = 2147483648ull + 5;
    std::filesystem::path big = folder.Write("root/big.bin", "");
    std::error_code error;
    std::filesystem::resize_file(big, size, error);
    if (error) GTEST_SKIP() << "no room for a sparse file: " << error.message();
    TestClient client(server->GetPort());
    client.Send(GetRequest("/big.bin"));
    std::string header = client.ReadHeader(10000);
    EXPECT_EQ(static_cast<long long>(size), ContentLength(header)) << header;
}

// Sizes on both sides of the pieces a file may go out in, all on one
// connection: each answer holds its header and file byte for byte and not
// one byte more, or the next answer would not start where it should.
TEST_F(StaticFileTest, FilesAroundPieceSizesArriveByteForByteOnOneConnection) {
    const size_t sizes[] = {1, 8191, 8192, 8193, 65535, 65536, 65537, 3 * 65536 + 5};
    TestClient client(server->GetPort());
    for (size_t size : sizes) {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 7 + size) % 251);
        const std::string name = "sized" + std::to_string(size) + ".html";
        folder.Write("root/" + name, content);
        ASSERT_TRUE(client.Send(GetRequest("/" + name)));
        const std::string answer = WithoutValidators(client.ReadAnswer(20000));
        EXPECT_TRUE(answer == FileAnswer(RegisteredType(".html"), content))
            << size << ": " << answer.size() << " bytes, " << answer.substr(0, 120);
    }
}

// A client that goes away in the middle of a large file ends only its own
// answer: the server raises no signal and goes on answering others.
TEST_F(StaticFileTest, ClientLeavingMidFileEndsOnlyItsAnswer) {
    std::filesystem::path big = folder.Write("root/big.bin", "");
    std::error_code error;
    std::filesystem::resize_file(big, 256u << 20, error);
    if (error) GTEST_SKIP() << "no room for a sparse file: " << error.message();
    for (int round = 0; round < 4; ++round) {
        TestClient leaving(server->GetPort());
        leaving.Send(GetRequest("/big.bin"));
        ASSERT_FALSE(leaving.ReadHeader(10000).empty()) << round;
        leaving.Close();
        EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page</p>"), Fetch("/page.html")) << round;
    }
}

// --- Validators: a client's copy revalidates instead of downloading again ---

// A 304 answer for a text file: the cross-origin line (before) and the
// connection line (after) stand around the Vary line and the validators as
// in any answer.
std::string NotModified(const std::string& lastModified, const std::string& tag,
                        const std::string& before = "", const std::string& after = "") {
    return "HTTP/1.1 304 NOT MODIFIED\r\n" + kPoweredBy + before + "Vary: Accept-Encoding\r\n" +
           "Last-Modified: " + lastModified + "\r\nETag: " + tag +
           "\r\nCache-Control: no-cache\r\n" + after + "\r\n";
}

class ValidatorTest : public StaticFileTest {
  protected:
    // The answer to a GET of target with headers, on client.
    std::string Ask(TestClient& client, const std::string& target, const std::string& headers) {
        client.Send(GetRequest(target, headers));
        return client.ReadAnswer();
    }

    // Fetches target and keeps its validators.
    void Remember(const std::string& target) {
        TestClient client(server->GetPort());
        const std::string answer = Ask(client, target, "");
        tag = HeaderValue(answer, "ETag");
        lastModified = HeaderValue(answer, "Last-Modified");
    }

    std::string tag;
    std::string lastModified;
};

TEST_F(ValidatorTest, FileCarriesItsValidatorsBeforeTheEmptyLine) {
    TestClient client(server->GetPort());
    const std::string answer = Ask(client, "/page.html", "Origin: o\r\n");
    const std::string head = "HTTP/1.1 200 OK\r\n" + kPoweredBy +
                             "Content-Type: " + RegisteredType(".html") +
                             "\r\nContent-Length: 11\r\nAccess-Control-Allow-Origin: *\r\n" +
                             "Vary: Accept-Encoding\r\n";
    EXPECT_EQ(0u, answer.find(head)) << answer;
    const std::string validators = answer.substr(head.size());
    const std::regex form(
        "Last-Modified: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] "
        "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) 2[0-9]{3} [0-2][0-9]:[0-5][0-9]:[0-5]"
        "[0-9] GMT\r\nETag: \"[0-9a-f-]+\"\r\nCache-Control: no-cache\r\n\r\n<p>page</p>");
    EXPECT_TRUE(std::regex_match(validators, form)) << validators;
    // Another file has another tag; API answers have no validators.
    Remember("/index.html");
    EXPECT_NE(tag, HeaderValue(answer, "ETag"));
    client.Send(GetRequest("/api/echo", "If-None-Match: *\r\n"));
    const std::string api = client.ReadAnswer();
    EXPECT_EQ(0u, api.find("HTTP/1.1 200 OK\r\n")) << api;
    EXPECT_EQ("", HeaderValue(api, "ETag"));
    EXPECT_EQ("", HeaderValue(api, "Last-Modified"));
}

TEST_F(ValidatorTest, MatchingCopyIsNotModifiedAndTheConnectionStaysOpen) {
    Remember("/page.html");
    ASSERT_FALSE(tag.empty());
    const std::string notModified = NotModified(lastModified, tag);
    const struct {
        std::string headers;
        std::string answer;
    } cases[] = {
        {"If-None-Match: " + tag + "\r\n", notModified},
        {"If-None-Match: \"other\", W/" + tag + "\r\n", notModified},
        {"If-None-Match: *\r\n", notModified},
        {"If-Modified-Since: " + lastModified + "\r\n", notModified},
        {"If-None-Match: " + tag + "\r\nOrigin: o\r\n",
         NotModified(lastModified, tag, "Access-Control-Allow-Origin: *\r\n")},
    };
    TestClient client(server->GetPort());
    for (const auto& c : cases)
        EXPECT_EQ(c.answer, Ask(client, "/page.html", c.headers)) << c.headers;
    const struct {
        std::string headers;
    } downloads[] = {
        {"If-None-Match: \"other\"\r\n"},
        {"If-None-Match: \"other\"\r\nIf-Modified-Since: " + lastModified + "\r\n"},
        {"If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT\r\n"},
        {"If-Modified-Since: " + lastModified + "x\r\n"},
    };
    for (const auto& d : downloads) {
        EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page</p>"),
                  WithoutValidators(Ask(client, "/page.html", d.headers)))
            << d.headers;
    }
}

TEST_F(ValidatorTest, NotModifiedAskedToCloseSaysSoAndCloses) {
    Remember("/page.html");
    TestClient client(server->GetPort());
    client.Send(GetRequest("/page.html", "If-None-Match: " + tag + "\r\nConnection: close\r\n"));
    EXPECT_EQ(NotModified(lastModified, tag, "", "Connection: close\r\n"),
              client.ReadUntilClosed(3000));
}

TEST_F(ValidatorTest, ChangedFileIsSentWholeAgain) {
    Remember("/page.html");
    folder.Write("root/page.html", "<p>page, longer</p>");
    TestClient client(server->GetPort());
    const std::string answer = Ask(client, "/page.html", "If-None-Match: " + tag + "\r\n");
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page, longer</p>"),
              WithoutValidators(answer));
    EXPECT_NE(tag, HeaderValue(answer, "ETag"));
    // Written again later with the same length: the date tells it apart.
    Remember("/page.html");
    const std::filesystem::path page = Root() / "page.html";
    folder.Write("root/page.html", "<p>page, LONGER</p>");
    std::filesystem::last_write_time(
        page, std::filesystem::last_write_time(page) + std::chrono::hours(1));
    const std::string later =
        Ask(client, "/page.html", "If-Modified-Since: " + lastModified + "\r\n");
    EXPECT_EQ(FileAnswer(RegisteredType(".html"), "<p>page, LONGER</p>"), WithoutValidators(later));
    EXPECT_NE(lastModified, HeaderValue(later, "Last-Modified"));
    EXPECT_NE(tag, HeaderValue(later, "ETag"));
}

TEST_F(ValidatorTest, HiddenFileStaysNotFoundWhateverTheValidators) {
    ASSERT_TRUE(server->HideFile((Root() / "TesmoApi.json").string().c_str()));
    for (const char* headers :
         {"If-None-Match: *\r\n", "If-Modified-Since: Fri, 31 Dec 9999 23:59:59 GMT\r\n"}) {
        TestClient client(server->GetPort());
        client.Send(GetRequest("/TesmoApi.json", headers));
        EXPECT_EQ(kNotFound, client.ReadUntilClosed()) << headers;
    }
}

}  // namespace

// Runs the real program as a foreground service: a copy of it and its
// libraries in a temporary folder with a configuration file, started from
// another current directory, watched through its exit status, its standard
// error, a notify socket standing in for the service manager, and HTTP.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ProgramTestSupport_posix.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned short kWrappedPort = 4464;  // 70000 modulo 65536

// A datagram socket in the abstract namespace, in the role of the service
// manager's notify socket.
class NotifySocket {
  public:
    NotifySocket() {
        static std::atomic<int> counter{0};
        name = "@tesmo-notify-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        memcpy(address.sun_path + 1, name.data() + 1, name.size() - 1);
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        EXPECT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), length)) << strerror(errno);
    }
    ~NotifySocket() { close(fd); }

    // The next datagram, or "" when none comes in time.
    std::string Receive(int timeoutMs = kTimeoutMs) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, timeoutMs) != 1) return "";
        char message[256];
        const ssize_t n = recv(fd, message, sizeof message, 0);
        return n > 0 ? std::string(message, static_cast<size_t>(n)) : "";
    }

    std::string name;
    int fd;
};

class ProgramTest : public ::testing::Test {
  protected:
    ProgramFolder folder;
    NotifySocket notify;
};

TEST_F(ProgramTest, EachConfigurationFaultExitsWithStatusTwo) {
    const std::string valid = Config(FreePort());
    std::string tooLong = valid;
    tooLong.append(1000 - valid.size(), ' ');
    struct strCase {
        const char* what;
        std::string text;  // empty: no file at all
    };
    const strCase cases[] = {
        {"no file", ""},
        {"1,000 bytes", tooLong},
        {"no password", valid.substr(0, valid.find(", \"password\"")) + " }\n}\n"},
        {"no listen port",
         "{\"api\":{},\"drovane_tesmo_server\":{\"host\":\"h\",\"port\":1,"
         "\"user\":\"u\",\"password\":\"p\"}}"},
        {"letters for a port", Config("\"http\"")},
        {"idle time-out of zero", Config(FreePort(), ", \"idle_timeout\": 0")},
        {"server time-out not a number",
         valid.substr(0, valid.rfind(" }")) + ", \"timeout\": \"ten\" }\n}\n"},
        {"65 sessions", valid.substr(0, valid.rfind(" }")) + ", \"sessions\": 65 }\n}\n"},
    };
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(folder.Path() / "TesmoApi.json");
        if (!c.text.empty()) folder.Write("TesmoApi.json", c.text);
        ProgramRun run(folder, {}, {"NOTIFY_SOCKET=" + notify.name});
        EXPECT_EQ(2, run.Wait());
        const std::string error = run.ErrorOutput();
        EXPECT_EQ(0u, error.rfind("TesmoApi 1.0: error 1002: ", 0)) << error;
        EXPECT_EQ(1, std::count(error.begin(), error.end(), '\n')) << error;
        EXPECT_EQ("", notify.Receive(0)) << "a failed start never reports ready";
    }
}

TEST_F(ProgramTest, StopsCleanlyOnSigtermAfterReportingReady) {
    const unsigned short port = FreePort();
    std::string text = Config(port);
    text.append(999 - text.size(), ' ');  // the largest file accepted
    folder.Write("TesmoApi.json", text);
    ProgramRun run(folder, {}, {"NOTIFY_SOCKET=" + notify.name});
    ASSERT_EQ("READY=1", notify.Receive());

    const strHttpAnswer ident = HttpGet(port, "/api/ident");
    EXPECT_EQ(200, ident.status);
    EXPECT_NE(std::string::npos, ident.body.find("\"api\"")) << ident.body;

    run.Signal(SIGTERM);
    EXPECT_EQ("STOPPING=1", notify.Receive());
    EXPECT_EQ(0, run.Wait());
    EXPECT_EQ("", run.ErrorOutput());
    EXPECT_EQ("", notify.Receive(0)) << "nothing after STOPPING=1";
    EXPECT_EQ(0, HttpGet(port, "/api/ident").status) << "no longer listening";
}

TEST_F(ProgramTest, SigintStopsItToo) {
    folder.Write("TesmoApi.json", Config(FreePort()));
    ProgramRun run(folder, {}, {"NOTIFY_SOCKET=" + notify.name});
    ASSERT_EQ("READY=1", notify.Receive());
    run.Signal(SIGINT);
    EXPECT_EQ("STOPPING=1", notify.Receive());
    EXPECT_EQ(0, run.Wait());
}

TEST_F(ProgramTest, RunsWithoutANotifySocket) {
    const unsigned short port = FreePort();
    folder.Write("TesmoApi.json", Config(port));
    ProgramRun run(folder, {});
    strHttpAnswer answer;
    for (int i = 0; i < kTimeoutMs / 50 && answer.status == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        answer = HttpGet(port, "/api/ident");
    }
    EXPECT_EQ(200, answer.status);
    run.Signal(SIGTERM);
    EXPECT_EQ(0, run.Wait());
}

TEST_F(ProgramTest, PortAbove65535WrapsToItsLowSixteenBits) {
    {
        TcpListener probe(kWrappedPort);
        if (!probe.Bound()) GTEST_SKIP() << "port 4464 is in use on this machine";
    }
    folder.Write("TesmoApi.json", Config(70000));
    ProgramRun run(folder, {}, {"NOTIFY_SOCKET=" + notify.name});
    ASSERT_EQ("READY=1", notify.Receive());
    EXPECT_EQ(200, HttpGet(kWrappedPort, "/api/ident").status);
    run.Signal(SIGTERM);
    EXPECT_EQ(0, run.Wait());
}

TEST_F(ProgramTest, BusyPortExitsWithStatusThree) {
    TcpListener holder;
    ASSERT_TRUE(holder.Bound());
    folder.Write("TesmoApi.json", Config(holder.Port()));
    ProgramRun run(folder, {}, {"NOTIFY_SOCKET=" + notify.name});
    EXPECT_EQ(3, run.Wait());
    const std::string error = run.ErrorOutput();
    EXPECT_EQ(0u, error.rfind("TesmoApi 1.0: error 1003: ", 0)) << error;
    EXPECT_NE(std::string::npos, error.find(std::to_string(holder.Port()))) << error;
}

TEST_F(ProgramTest, NeverServesItsConfigurationFile) {
    const unsigned short port = FreePort();
    folder.Write("TesmoApi.json", Config(port));
    folder.Write("hello.txt", "hello");
    ProgramRun run(folder, {}, {"NOTIFY_SOCKET=" + notify.name});
    ASSERT_EQ("READY=1", notify.Receive());

    const strHttpAnswer hello = HttpGet(port, "/hello.txt");
    EXPECT_EQ(200, hello.status) << "files beside the program are served";
    EXPECT_EQ("hello", hello.body);
    // Saved again as editors do, and with a backup beside it.
    folder.Write("TesmoApi.json.tmp", Config(port));
    fs::rename(folder.Path() / "TesmoApi.json.tmp", folder.Path() / "TesmoApi.json");
    folder.Write("TesmoApi.json.bak", Config(port));
    for (const char* path :
         {"/TesmoApi.json", "/%54esmoApi.json", "/./TesmoApi.json", "/TesmoApi.json.bak"}) {
        const strHttpAnswer answer = HttpGet(port, path);
        EXPECT_EQ(404, answer.status) << path;
        EXPECT_EQ(std::string::npos, answer.body.find("secret-password")) << path;
    }
    run.Signal(SIGTERM);
    EXPECT_EQ(0, run.Wait());
}

// The switches themselves are the installer's tests.
TEST_F(ProgramTest, ArgumentsOtherThanASwitchAreRefused) {
    const std::vector<std::string> cases[] = {{"/unknown"}, {"/Install", "x"}, {""}, {"", ""}};
    folder.Write("TesmoApi.json", Config(FreePort()));
    for (const std::vector<std::string>& arguments : cases) {
        SCOPED_TRACE(arguments[0] + " (" + std::to_string(arguments.size()) + ")");
        ProgramRun run(folder, arguments, {"NOTIFY_SOCKET=" + notify.name});
        EXPECT_EQ(255, run.Wait()) << "exit code -1";
        EXPECT_EQ("TesmoApi 1.0: Argumento inválido\n", run.ErrorOutput());
        EXPECT_EQ("", notify.Receive(0)) << "an argument never starts the service";
    }
}

}  // namespace

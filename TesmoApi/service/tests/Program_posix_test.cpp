// Runs the real program as a foreground service: a copy of it and its
// libraries in a temporary folder with a configuration file, started from
// another current directory, watched through its exit status, its standard
// error, a notify socket standing in for the service manager, and HTTP.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Sanitizer builds start slowly; nothing here waits this long when it works.
constexpr int kTimeoutMs = 20000;
constexpr unsigned short kWrappedPort = 4464;  // 70000 modulo 65536

// The program and the shared libraries beside it (whatever their versions).
bool IsProgramFile(const fs::path& file) {
    const std::string name = file.filename().string();
    return name == "TesmoApi" ||
           (name.rfind("lib", 0) == 0 && name.find(".so") != std::string::npos);
}

std::string Config(const std::string& port, const std::string& extraApi = "") {
    return "{\n  \"api\": { \"listen_port\": " + port + extraApi +
           " },\n  \"drovane_tesmo_server\": { \"host\": \"127.0.0.1\", \"port\": 2500,\n"
           "    \"user\": \"demo\", \"password\": \"secret-password\" }\n}\n";
}

std::string Config(unsigned port, const std::string& extraApi = "") {
    return Config(std::to_string(port), extraApi);
}

// A listening socket on a port the system picked; it holds the port until
// closed.
class Listener {
  public:
    explicit Listener(unsigned short wanted = 0) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(wanted);
        socklen_t length = sizeof address;
        bound = bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                listen(fd, 1) == 0 &&
                getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port = ntohs(address.sin_port);
    }
    ~Listener() { close(fd); }
    int fd;
    bool bound;
    unsigned short port;
};

// A port that was free a moment ago.
unsigned short FreePort() {
    Listener probe;
    EXPECT_TRUE(probe.bound);
    return probe.port;
}

struct strHttpAnswer {
    int status = 0;  // 0: no answer
    std::string body;
};

// One GET on a fresh connection to 127.0.0.1; reads the headers and
// Content-Length bytes of body.
strHttpAnswer HttpGet(unsigned short port, const std::string& path) {
    strHttpAnswer answer;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return answer;
    }
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string received;
    char chunk[4096];
    size_t headerEnd = std::string::npos;
    size_t wanted = 0;
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        received.append(chunk, static_cast<size_t>(n));
        if (headerEnd == std::string::npos) {
            headerEnd = received.find("\r\n\r\n");
            if (headerEnd == std::string::npos) continue;
            const size_t field = received.find("Content-Length: ");
            wanted = field < headerEnd ? std::stoul(received.substr(field + 16)) : 0;
        }
        if (received.size() >= headerEnd + 4 + wanted) break;
    }
    close(fd);
    if (received.compare(0, 9, "HTTP/1.1 ") == 0) answer.status = std::stoi(received.substr(9, 3));
    if (headerEnd != std::string::npos) answer.body = received.substr(headerEnd + 4);
    return answer;
}

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

// A copy of the program in a temporary folder of its own.
class ProgramFolder {
  public:
    ProgramFolder() {
        std::string pattern = (fs::temp_directory_path() / "tesmo-program-XXXXXX").string();
        path = mkdtemp(pattern.data());
        const fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
        for (const fs::directory_entry& entry : fs::directory_iterator(own)) {
            if (IsProgramFile(entry.path())) {
                fs::copy(entry.path(), path / entry.path().filename(),
                         fs::copy_options::copy_symlinks);
            }
        }
    }
    ~ProgramFolder() { fs::remove_all(path); }

    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary | std::ios::trunc) << text;
    }

    fs::path path;
};

// One run of the program, started from "/" so that it must find its own
// folder. Killed if still running when the test ends.
class ProgramRun {
  public:
    ProgramRun(const ProgramFolder& folder, const std::vector<std::string>& arguments,
               const std::string& notifyName = "")
        : errorFile(folder.path / "stderr.txt") {
        const std::string program = (folder.path / "TesmoApi").string();
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (strncmp(*entry, "NOTIFY_SOCKET=", 14) != 0) environment.emplace_back(*entry);
        }
        if (!notifyName.empty()) environment.push_back("NOTIFY_SOCKET=" + notifyName);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        const std::string errorPath = errorFile.string();
        const std::string outputPath = (folder.path / "stdout.txt").string();

        pid = fork();
        if (pid == 0) {
            const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (error < 0 || output < 0 || chdir("/") != 0) _exit(127);
            dup2(error, STDERR_FILENO);
            dup2(output, STDOUT_FILENO);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;
    ~ProgramRun() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    void Signal(int number) const { kill(pid, number); }

    // Exit status, or -1 when the program did not end normally in time.
    int Wait() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string ErrorOutput() const {
        std::ostringstream text;
        text << std::ifstream(errorFile).rdbuf();
        return text.str();
    }

  private:
    pid_t pid;
    fs::path errorFile;
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
    };
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(folder.path / "TesmoApi.json");
        if (!c.text.empty()) folder.Write("TesmoApi.json", c.text);
        ProgramRun run(folder, {}, notify.name);
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
    ProgramRun run(folder, {}, notify.name);
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
    ProgramRun run(folder, {}, notify.name);
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
        Listener probe(kWrappedPort);
        if (!probe.bound) GTEST_SKIP() << "port 4464 is in use on this machine";
    }
    folder.Write("TesmoApi.json", Config(70000));
    ProgramRun run(folder, {}, notify.name);
    ASSERT_EQ("READY=1", notify.Receive());
    EXPECT_EQ(200, HttpGet(kWrappedPort, "/api/ident").status);
    run.Signal(SIGTERM);
    EXPECT_EQ(0, run.Wait());
}

TEST_F(ProgramTest, BusyPortExitsWithStatusThree) {
    Listener holder;
    ASSERT_TRUE(holder.bound);
    folder.Write("TesmoApi.json", Config(holder.port));
    ProgramRun run(folder, {}, notify.name);
    EXPECT_EQ(3, run.Wait());
    const std::string error = run.ErrorOutput();
    EXPECT_EQ(0u, error.rfind("TesmoApi 1.0: error 1003: ", 0)) << error;
    EXPECT_NE(std::string::npos, error.find(std::to_string(holder.port))) << error;
}

TEST_F(ProgramTest, NeverServesItsConfigurationFile) {
    const unsigned short port = FreePort();
    folder.Write("TesmoApi.json", Config(port));
    folder.Write("hello.txt", "hello");
    ProgramRun run(folder, {}, notify.name);
    ASSERT_EQ("READY=1", notify.Receive());

    const strHttpAnswer hello = HttpGet(port, "/hello.txt");
    EXPECT_EQ(200, hello.status) << "files beside the program are served";
    EXPECT_EQ("hello", hello.body);
    // Saved again as editors do, and with a backup beside it.
    folder.Write("TesmoApi.json.tmp", Config(port));
    fs::rename(folder.path / "TesmoApi.json.tmp", folder.path / "TesmoApi.json");
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

TEST_F(ProgramTest, SwitchesAreRecognisedAndOtherArgumentsRefused) {
    struct strCase {
        std::vector<std::string> arguments;
        const char* message;
    };
    const strCase cases[] = {
        {{"/unknown"}, "TesmoApi 1.0: Argumento inválido\n"},
        {{"/Install", "x"}, "TesmoApi 1.0: Argumento inválido\n"},
        {{"/iNsTaLl"}, "TesmoApi 1.0: La instalación del servicio no está disponible"},
        {{"/ADMINSTALL"}, "TesmoApi 1.0: La instalación del servicio no está disponible"},
        {{"/uninstall"}, "TesmoApi 1.0: La desinstalación del servicio no está disponible"},
        {{"/AdmUninstall"}, "TesmoApi 1.0: La desinstalación del servicio no está disponible"},
    };
    folder.Write("TesmoApi.json", Config(FreePort()));
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        ProgramRun run(folder, c.arguments, notify.name);
        EXPECT_EQ(255, run.Wait()) << "exit code -1";
        EXPECT_EQ(0u, run.ErrorOutput().rfind(c.message, 0)) << run.ErrorOutput();
        EXPECT_EQ("", notify.Receive(0)) << "a switch never starts the service";
    }
}

}  // namespace

#include "ProgramTestSupport_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The program and the shared libraries beside it (whatever their versions).
bool IsProgramFile(const fs::path& file) {
    const std::string name = file.filename().string();
    return name == "TesmoApi" ||
           (name.rfind("lib", 0) == 0 && name.find(".so") != std::string::npos);
}

// The variable name of a "NAME=value" entry.
std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

}  // namespace

std::string Config(const std::string& port, const std::string& extraApi) {
    return "{\n  \"api\": { \"listen_port\": " + port + extraApi +
           " },\n  \"drovane_tesmo_server\": { \"host\": \"127.0.0.1\", \"port\": 2500,\n"
           "    \"user\": \"demo\", \"password\": \"secret-password\" }\n}\n";
}

std::string Config(unsigned port, const std::string& extraApi) {
    return Config(std::to_string(port), extraApi);
}

Listener::Listener(unsigned short wanted) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(wanted);
    socklen_t length = sizeof address;
    bound = bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, 1) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port = ntohs(address.sin_port);
}

Listener::~Listener() {
    close(fd);
}

unsigned short FreePort() {
    Listener probe;
    EXPECT_TRUE(probe.bound);
    return probe.port;
}

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

ProgramFolder::ProgramFolder(const fs::path& parent) {
    std::string pattern = (parent / "tesmo-program-XXXXXX").string();
    path = mkdtemp(pattern.data());
    const fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
    for (const fs::directory_entry& entry : fs::directory_iterator(own)) {
        if (IsProgramFile(entry.path())) {
            fs::copy(entry.path(), path / entry.path().filename(), fs::copy_options::copy_symlinks);
        }
    }
}

ProgramFolder::~ProgramFolder() {
    fs::remove_all(path);
}

void ProgramFolder::Write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary | std::ios::trunc) << text;
}

std::string ProgramFolder::Read(const std::string& name) const {
    std::ostringstream text;
    text << std::ifstream(path / name, std::ios::binary).rdbuf();
    return text.str();
}

ProgramRun::ProgramRun(const ProgramFolder& folder, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment)
    : errorFile(folder.path / "stderr.txt") {
    const std::string program = (folder.path / "TesmoApi").string();
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = NameOf(*entry);
        bool replaced = name == "NOTIFY_SOCKET";
        for (const std::string& added : environment) replaced = replaced || NameOf(added) == name;
        if (!replaced) entries.emplace_back(*entry);
    }
    entries.insert(entries.end(), environment.begin(), environment.end());
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
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

ProgramRun::~ProgramRun() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void ProgramRun::Signal(int number) const {
    kill(pid, number);
}

int ProgramRun::Wait() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProgramRun::ErrorOutput() const {
    std::ostringstream text;
    text << std::ifstream(errorFile).rdbuf();
    return text.str();
}

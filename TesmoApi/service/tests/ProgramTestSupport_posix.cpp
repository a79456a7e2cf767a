#include "ProgramTestSupport_posix.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

ProgramFolder::ProgramFolder(const fs::path& parent) : TempFolder(parent) {
    const fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
    for (const fs::directory_entry& entry : fs::directory_iterator(own)) {
        if (IsProgramFile(entry.path())) {
            fs::copy(entry.path(), Path() / entry.path().filename(),
                     fs::copy_options::copy_symlinks);
        }
    }
}

ProgramRun::ProgramRun(const ProgramFolder& folder, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment)
    : errorFile(folder.Path() / "stderr.txt") {
    const std::string program = (folder.Path() / "TesmoApi").string();
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
    const std::string outputPath = (folder.Path() / "stdout.txt").string();

    pid = fork();
    if (pid == 0) {
        const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (error < 0 || output < 0 || chdir("/") != 0 || setpgid(0, 0) != 0) _exit(127);
        dup2(error, STDERR_FILENO);
        dup2(output, STDOUT_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

ProgramRun::~ProgramRun() {
    if (pid > 0) {
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void ProgramRun::Signal(int number) const {
    kill(pid, number);
}

void ProgramRun::SignalGroup(int number) const {
    kill(-pid, number);
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

// A stand-in for the tools the installer runs: systemctl, sudo, ufw,
// firewall-cmd and useradd on Linux (linked under those names), SC and netsh
// on Windows (copied under those names). The folder the test gives in
// TESMO_DOUBLE_FOLDER holds what it records and what it answers:
// - every run appends one line to "calls": its name, a blank and its
//   parameters (on Windows the command line exactly as it came, after the
//   program's own name);
// - it answers with the first line of "<name>.answers" whose first word is
//   its first parameter (in any letter case) or "*": "<word> <exit code>
//   [text printed on standard output]". The line is used up when a later one
//   answers the same parameter, so the last answer repeats. Without one it
//   prints nothing and exits 0.
// As useradd answering 0 it adds its last parameter to the file "accounts" of
// the folder, which the test build of the program reads as the machine's
// accounts (HostSystemDouble.cpp). As sudo without an answer it runs its parameters as a command
// (the test build of the program, told nothing, takes itself for root).
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kCannotRun = 1;  // sudo's status when the command cannot run

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string FirstWord(const std::string& text) {
    std::istringstream words(text);
    std::string word;
    words >> word;
    return word;
}

#ifdef _WIN32
std::string OwnName(char** /*argv*/) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length);
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.rfind('.'));
}

// The command line after the program's own name and the blanks behind it.
std::string Parameters(int /*argc*/, char** /*argv*/) {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        const char* close = strchr(line + 1, '"');
        line = close == nullptr ? line + strlen(line) : close + 1;
    }
    while (*line != '\0' && *line != ' ' && *line != '\t') ++line;
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

int RunAsRoot(char** /*argv*/) {
    return kCannotRun;
}
#else
std::string OwnName(char** argv) {
    const std::string name = argv[0];
    return name.substr(name.rfind('/') + 1);
}

std::string Parameters(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) text += (i > 1 ? " " : "") + std::string(argv[i]);
    return text;
}

int RunAsRoot(char** argv) {
    if (argv[1] == nullptr) return kCannotRun;
    execvp(argv[1], argv + 1);
    return kCannotRun;
}
#endif

struct strAnswer {
    bool found = false;
    int exitCode = 0;
    std::string output;
};

// The answer for parameter; uses up its line when a later one also answers.
strAnswer TakeAnswer(const std::string& file, const std::string& parameter) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    in.close();
    auto answers = [&](const std::string& line) {
        const std::string word = Lower(FirstWord(line));
        return word == "*" || word == Lower(parameter);
    };
    strAnswer answer;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!answers(lines[i])) continue;
        std::istringstream fields(lines[i]);
        std::string word;
        fields >> word >> answer.exitCode;
        std::getline(fields >> std::ws, answer.output);
        answer.found = true;
        bool later = false;
        for (size_t j = i + 1; j < lines.size(); ++j) later = later || answers(lines[j]);
        if (later) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            std::ofstream out(file, std::ios::trunc);
            for (const std::string& line : lines) out << line << '\n';
        }
        break;
    }
    return answer;
}

}  // namespace

int main(int argc, char** argv) {
    const char* folder = getenv("TESMO_DOUBLE_FOLDER");
    if (folder == nullptr) return kCannotRun;
    const std::string name = OwnName(argv);
    const std::string parameters = Parameters(argc, argv);
    std::ofstream(std::string(folder) + "/calls", std::ios::app)
        << name << ' ' << parameters << '\n';
    const strAnswer answer =
        TakeAnswer(std::string(folder) + "/" + name + ".answers", FirstWord(parameters));
    if (!answer.found && name == "sudo") return RunAsRoot(argv);
    if (answer.exitCode == 0 && name == "useradd" && argc > 1) {
        std::ofstream(std::string(folder) + "/accounts", std::ios::app) << argv[argc - 1] << '\n';
    }
    if (!answer.output.empty()) printf("%s\n", answer.output.c_str());
    return answer.exitCode;
}

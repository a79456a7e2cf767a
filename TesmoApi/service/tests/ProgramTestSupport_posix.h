// What the tests that run the real program on Linux share: a copy of the
// program in a folder of its own, one run of it with its exit status and
// standard error, configuration texts, free ports and one HTTP GET.
#ifndef TESMOAPI_SERVICE_TESTS_PROGRAMTESTSUPPORT_POSIX_H
#define TESMOAPI_SERVICE_TESTS_PROGRAMTESTSUPPORT_POSIX_H

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// Sanitizer builds start slowly; nothing here waits this long when it works.
constexpr int kTimeoutMs = 20000;

// A configuration with the given listen port text and extra "api" members.
std::string Config(const std::string& port, const std::string& extraApi = "");
std::string Config(unsigned port, const std::string& extraApi = "");

// A listening socket on a port the system picked (or wanted); it holds the
// port until destroyed.
class Listener {
  public:
    explicit Listener(unsigned short wanted = 0);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    int fd;
    bool bound;
    unsigned short port;
};

// A port that was free a moment ago.
unsigned short FreePort();

struct strHttpAnswer {
    int status = 0;  // 0: no answer
    std::string body;
};

// One GET on a fresh connection to 127.0.0.1; reads the headers and
// Content-Length bytes of body.
strHttpAnswer HttpGet(unsigned short port, const std::string& path);

// A copy of the program and its libraries in a new folder inside parent,
// removed with everything in it when destroyed.
class ProgramFolder {
  public:
    explicit ProgramFolder(
        const std::filesystem::path& parent = std::filesystem::temp_directory_path());
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    void Write(const std::string& name, const std::string& text) const;
    std::string Read(const std::string& name) const;  // "" when absent

    std::filesystem::path path;
};

// One run of the program, started from "/" so that it must find its own
// folder, with its standard output and error in files of the folder.
// environment: "NAME=value" entries that replace or add to this process's
// (NOTIFY_SOCKET is never inherited). Killed if still running when
// destroyed.
class ProgramRun {
  public:
    ProgramRun(const ProgramFolder& folder, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    void Signal(int number) const;
    // Exit status, or -1 when the program did not end normally in time.
    int Wait();
    std::string ErrorOutput() const;

  private:
    pid_t pid;
    std::filesystem::path errorFile;
};

#endif  // TESMOAPI_SERVICE_TESTS_PROGRAMTESTSUPPORT_POSIX_H

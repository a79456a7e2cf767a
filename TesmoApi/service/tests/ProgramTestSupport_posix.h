// What the tests that run the real program on Linux share: a copy of the
// program in a folder of its own, one run of it with its exit status and
// standard error, and configuration texts. Ports and HTTP come from the test
// kit.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "HttpClient.h"
#include "Loopback.h"
#include "TempFolder.h"

// Sanitizer builds start slowly; nothing here waits this long when it works.
constexpr int kTimeoutMs = 20000;

// A configuration with the given listen port text and extra "api" members.
std::string Config(const std::string& port, const std::string& extraApi = "");
std::string Config(unsigned port, const std::string& extraApi = "");

// A copy of the program and its libraries in a new folder inside parent,
// removed with everything in it when destroyed.
class ProgramFolder : public TempFolder {
  public:
    explicit ProgramFolder(
        const std::filesystem::path& parent = std::filesystem::temp_directory_path());
};

// One run of the program, in a process group of its own, started from "/"
// so that it must find its own folder, with its standard output and error in
// files of the folder. environment: "NAME=value" entries that replace or add
// to this process's (NOTIFY_SOCKET is never inherited). Killed, with what it
// started, if still running when destroyed.
class ProgramRun {
  public:
    ProgramRun(const ProgramFolder& folder, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    void Signal(int number) const;
    // Signals the program and every process it started, which share a
    // process group of their own, as a terminal's Ctrl-C does.
    void SignalGroup(int number) const;
    // Exit status, or -1 when the program did not end normally in time.
    int Wait();
    std::string ErrorOutput() const;

  private:
    pid_t pid;
    std::filesystem::path errorFile;
};

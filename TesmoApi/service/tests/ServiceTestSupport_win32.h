// What the tests that run the real program on Windows (under Wine) share: a
// copy of the program in a temporary folder, runs of it and of console
// commands, and the service's state through sc. Ports and HTTP come from the
// test kit.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "HttpClient.h"
#include "Loopback.h"
#include "TempFolder.h"

constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kExitInvalidArgument = 0xFFFFFFFF;  // exit code -1

// The folder of this test program, with its final separator.
std::string OwnFolder();

std::string Config(unsigned port, bool withPassword = true);

struct strCommandResult {
    DWORD exitCode = kExitInvalidArgument;
    std::string output;
};

// Runs a console command line with standard output and error captured.
strCommandResult RunCommand(const std::string& commandLine);

// Runs the program (its full file name) with arguments (each after a blank)
// from directory ("": this process's), inheriting no handles: the desktop
// process its message box may start must not hold this process's. Closes
// its message boxes; ends it when the time is up. Returns its exit code.
DWORD RunProgram(const std::string& program, const std::string& arguments,
                 const std::string& directory = "");

struct strServiceStatus {
    long state = -1;  // 1 stopped, 2 start pending, 3 stop pending, 4 running
    long win32ExitCode = -1;
    long serviceExitCode = -1;
};

// The service "TesmoApi" as sc query reports it; state -1 when it does not
// exist.
strServiceStatus QueryService();
// Polls sc query until the service has left the never-started state and
// reached wantedState, or the time is up.
strServiceStatus WaitForState(long wantedState);

// A copy of the program in a temporary folder of its own (folder, ending
// with a separator), removed with everything in it after the test; the
// service "TesmoApi" is removed before and after each test.
class ServiceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    void WriteFile(const std::string& name, const std::string& text) const;
    std::string ReadFile(const std::string& name) const;  // "" when absent
    void WriteConfig(const std::string& text) const { WriteFile("TesmoApi.json", text); }
    // sc create, then sc query until the service manager knows the service.
    bool InstallService() const;
    static void RemoveService();

    static bool oneServiceManager;
    std::unique_ptr<TempFolder> files;  // the folder's files, removed after the test
    std::string folder;
};

// Stand-ins for the program's meeting points with the system's
// administration (service/HostSystem.h), linked into TesmoApiTestBuild, the
// test build of the program that the installer tests run in its place:
// - TESMOAPI_TEST_ADMINISTRATOR "no" makes the administrator test answer no;
//   absent or anything else, yes. The variable is removed once read, so the
//   runs the program starts (its elevated run) are administrators.
// - TESMOAPI_TEST_UNIT_FOLDER, where set, is the folder units are written to.
// - on Linux the accounts are the names listed in the file "accounts" of the
//   folder TESMO_DOUBLE_FOLDER names (the useradd stand-in adds to it), each
//   with this process's own user and group, so that a test that is not root
//   can follow an installation too.
// - TESMOAPI_TEST_MESSAGE_LOG names a file to which every message is appended
//   instead of shown, as "<flags in hex> <Windows-1252 text>", because a
//   message box cannot be read by a test (and would wait for a person).
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "service/HostSystem.h"
#include "service/InstallerPlatform.h"

namespace {

constexpr char kAdministrator[] = "TESMOAPI_TEST_ADMINISTRATOR";
constexpr char kUnitFolder[] = "TESMOAPI_TEST_UNIT_FOLDER";
constexpr char kMessageLog[] = "TESMOAPI_TEST_MESSAGE_LOG";

void Forget(const char* name) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, nullptr);
#else
    unsetenv(name);
#endif
}

}  // namespace

eMembership TestAdministrator(strFailure* /*failure*/) {
    const char* answer = getenv(kAdministrator);
    const bool member = answer == nullptr || strcmp(answer, "no") != 0;
    Forget(kAdministrator);
    return member ? eMembership::Member : eMembership::NotMember;
}

const char* SystemdUnitFolder() {
    const char* folder = getenv(kUnitFolder);
    return folder != nullptr ? folder : "/etc/systemd/system";
}

#ifndef _WIN32
bool FindAccount(const char* name, unsigned* user, unsigned* group) {
    const char* folder = getenv("TESMO_DOUBLE_FOLDER");
    if (folder == nullptr) return false;
    std::ifstream accounts(std::string(folder) + "/accounts");
    for (std::string line; std::getline(accounts, line);) {
        if (line != name) continue;
        *user = geteuid();
        *group = getegid();
        return true;
    }
    return false;
}
#endif

void ShowMessageBox(const char* text, unsigned flags) {
    const char* path = getenv(kMessageLog);
    FILE* log = path == nullptr ? nullptr : fopen(path, "ab");
    if (log == nullptr) return;
    fprintf(log, "%#x %s\n", flags, text);
    fclose(log);
}

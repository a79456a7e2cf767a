// The installer on Windows: the Administrators group test, the elevated run
// through the shell's "runas", SC and netsh for the service and the
// firewall rule, and the service state read back from SC QUERY through a
// named pipe.
#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "service/CodePage_win32.h"
#include "service/Installer.h"
#include "service/InstallerPlatform.h"

const char kFirewallMessage[] = "No se pudo configurar el FireWall de Windows";
const char kProgramFileNameFunction[] = "GetModuleFileName";

namespace {

constexpr char kElevationVerb[] = "runas";
constexpr char kSc[] = "SC";
constexpr char kNetsh[] = "netsh";

// Room for a tool's parameters; each command is formatted with its own bound.
constexpr size_t kParametersSize = 512;
constexpr size_t kCreateBound = 512;
constexpr size_t kFirewallBound = 511;

constexpr char kPipeName[] = "\\\\.\\pipe\\TesmoApi.Service.QueryPipe";
constexpr char kQueryCommand[] = "SC QUERY \"TesmoApi\" >> \\\\.\\pipe\\TesmoApi.Service.QueryPipe";
constexpr DWORD kPipeBufferSize = 4096;
constexpr char kQueryMessage[] = "Error al leer el estado del servicio";

// What the one %s of a command's parameters stands for.
enum class eArgument { None, Program, Description };

struct strCommand {
    const char* tool;
    const char* parameters;
    size_t bound;
    eArgument argument;
};

// Indexed by eServiceStep.
const strCommand kCommands[] = {
    {kSc, "CREATE \"TesmoApi\" binpath= \"%s\"", kCreateBound, eArgument::Program},
    {kSc, "DESCRIPTION \"TesmoApi\" \"%s\"", kParametersSize, eArgument::Description},
    {kSc, "START \"TesmoApi\"", kParametersSize, eArgument::None},
    {kSc, "CONFIG \"TesmoApi\" start= auto", kParametersSize, eArgument::None},
    {kNetsh,
     "advfirewall firewall add rule name = \"TesmoApi\" dir = in action = allow program = \" %s \" "
     "enable = yes",
     kFirewallBound, eArgument::Program},
    {kSc, "STOP \"TesmoApi\"", kParametersSize, eArgument::None},
    {kSc, "DELETE \"TesmoApi\"", kParametersSize, eArgument::None},
    {kNetsh, "advfirewall firewall delete rule name = \"TesmoApi\"", kParametersSize,
     eArgument::None},
};

// Starts file through the shell with administrator rights, hidden, owned by
// the window titled "TesmoApi 1.0" if there is one. Returns its process
// handle, or nullptr with the last error set.
HANDLE StartElevated(const char* file, const char* parameters) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = FindWindowA(nullptr, kMessageTitle);
    info.lpVerb = kElevationVerb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info)) return nullptr;
    return info.hProcess;
}

// Starts file elevated and waits without time limit for it to end. False
// when it could not be started or its exit code could not be had, after
// telling the person with message and the failing call.
bool RunAndWait(const char* file, const char* parameters, const char* message, eMessageIcon icon,
                DWORD* exitCode) {
    HANDLE process = StartElevated(file, parameters);
    if (process == nullptr) {
        ShowFailure(message, {"ShellExecuteEx", GetLastError()}, icon);
        return false;
    }
    WaitForSingleObject(process, INFINITE);
    const BOOL got = GetExitCodeProcess(process, exitCode);
    const DWORD error = GetLastError();
    CloseHandle(process);
    if (!got) ShowFailure(message, {"GetExitCodeProcess", error}, icon);
    return got != FALSE;
}

// Runs one tool elevated and waits for it; with checkExitCode an exit code
// other than 0 is a failure named after the tool.
bool RunElevated(const char* tool, const char* parameters, bool checkExitCode, const char* message,
                 eMessageIcon icon) {
    DWORD exitCode = 0;
    if (!RunAndWait(tool, parameters, message, icon, &exitCode)) return false;
    if (checkExitCode && exitCode != 0) {
        ShowFailure(message, {tool, exitCode}, icon);
        return false;
    }
    return true;
}

// "STOPPED" before "RUNNING", in the report turned to upper case.
int StateOfReport(char* report) {
    for (char* c = report; *c != '\0'; ++c) {
        *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
    }
    if (strstr(report, "STOPPED") != nullptr) return kStateStopped;
    if (strstr(report, "RUNNING") != nullptr) return kStateRunning;
    return kStateOther;
}

}  // namespace

int RunProgramElevated(const char* program, const char* switchText, const char* message) {
    DWORD exitCode = 0;
    if (!RunAndWait(program, switchText, message, eMessageIcon::Error, &exitCode)) {
        return kInstallFailed;
    }
    return static_cast<int>(exitCode);
}

bool RunServiceStep(const strServiceStep& step, const char* program) {
    const strCommand& command = kCommands[static_cast<size_t>(step.step)];
    char description[kParametersSize];
    const char* argument = "";
    if (command.argument == eArgument::Program) argument = program;
    if (command.argument == eArgument::Description) {
        if (!ToWindows1252(kServiceDescription, description, sizeof description)) {
            ShowFailure(step.message, {"WideCharToMultiByte", GetLastError()}, step.icon);
            return false;
        }
        argument = description;
    }
    char parameters[kParametersSize];
    snprintf(parameters, command.bound, command.parameters, argument);
    return RunElevated(command.tool, parameters, step.checkExitCode, step.message, step.icon);
}

int QueryServiceState() {
    HANDLE pipe = CreateNamedPipeA(kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                   kPipeBufferSize, kPipeBufferSize, NMPWAIT_WAIT_FOREVER, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        ShowFailure(kQueryMessage, {"CreateNamedPipe", GetLastError()}, eMessageIcon::Error);
        return kStateQueryFailed;
    }
    // SC appends its report to the pipe as if it were a file.
    const int result = system(kQueryCommand);
    if (result != 0) {
        CloseHandle(pipe);
        ShowFailure(kQueryMessage, {"system", static_cast<unsigned>(result)}, eMessageIcon::Error);
        return kStateQueryFailed;
    }
    char report[kPipeBufferSize + 1];
    DWORD count = 0;
    if (!ReadFile(pipe, report, kPipeBufferSize, &count, nullptr) || count == 0) {
        const DWORD error = GetLastError();
        CloseHandle(pipe);
        ShowFailure(kQueryMessage, {"ReadFile", error}, eMessageIcon::Error);
        return kStateQueryFailed;
    }
    CloseHandle(pipe);
    report[count] = '\0';
    return StateOfReport(report);
}

#include "ServiceTestSupport_win32.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdlib>

namespace {

constexpr DWORD kPollMs = 100;
constexpr DWORD kSettleMs = 500;
constexpr DWORD kSettleTimeoutMs = 20000;
constexpr long kNeverStarted = 1077;  // ERROR_SERVICE_NEVER_STARTED

const char* const kProgramFiles[] = {"TesmoApi.exe", "Portavex.dll", "Tesmo.Client.dll"};

// Moves what waits in the pipe into output, without waiting for more: a
// process the child started may hold the pipe open long after it ended.
void Drain(HANDLE pipe, std::string* output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char chunk[512];
        DWORD count = 0;
        const DWORD wanted = available < sizeof chunk ? available : sizeof chunk;
        if (!ReadFile(pipe, chunk, wanted, &count, nullptr) || count == 0) return;
        output->append(chunk, count);
    }
}

// Waits for the process to end, draining its output pipe (if any) and
// closing any message box of the program so that it cannot hang; ends it
// when the time is up. Returns its exit code.
DWORD WaitForProcess(const PROCESS_INFORMATION& process, HANDLE pipe, std::string* output) {
    DWORD exitCode = kExitInvalidArgument;
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
        if (pipe != nullptr) Drain(pipe, output);
        if (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0) break;
        HWND box = FindWindowA(nullptr, "TesmoApi 1.0");
        if (box != nullptr) PostMessageA(box, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    if (pipe != nullptr) Drain(pipe, output);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return exitCode;
}

// The number after "<field> :" in an sc query report, or -1.
long Field(const std::string& report, const char* field) {
    const size_t at = report.find(field);
    if (at == std::string::npos) return -1;
    const size_t colon = report.find(':', at);
    return colon == std::string::npos ? -1 : strtol(report.c_str() + colon + 1, nullptr, 10);
}

int CountProcesses(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, name) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// A Wine prefix that has just been created runs two service managers for a
// few seconds, each answering some of sc's calls, and the older one stays
// while any program runs. True once there is a single one (always on
// Windows).
bool WaitForOneServiceManager() {
    for (DWORD waited = 0; waited < kSettleTimeoutMs; waited += kSettleMs) {
        if (CountProcesses("services.exe") <= 1) return true;
        Sleep(kSettleMs);
    }
    return false;
}

}  // namespace

std::string OwnFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string Config(unsigned port, bool withPassword) {
    return "{\"api\":{\"listen_port\":" + std::to_string(port) +
           "},\"drovane_tesmo_server\":{\"host\":\"127.0.0.1\",\"port\":2500,\"user\":\"demo\"" +
           (withPassword ? ",\"password\":\"secret-password\"" : "") + "}}";
}

strCommandResult RunCommand(const std::string& commandLine) {
    strCommandResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd;
    HANDLE writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) result.exitCode = WaitForProcess(process, readEnd, &result.output);
    CloseHandle(readEnd);
    return result;
}

DWORD RunProgram(const std::string& program, const std::string& arguments,
                 const std::string& directory) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = "\"" + program + "\"" + arguments;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        return kExitInvalidArgument - 1;
    }
    std::string ignored;
    return WaitForProcess(process, nullptr, &ignored);
}

strServiceStatus QueryService() {
    const std::string report = RunCommand("sc.exe query TesmoApi").output;
    return {Field(report, "STATE"), Field(report, "WIN32_EXIT_CODE"),
            Field(report, "SERVICE_EXIT_CODE")};
}

strServiceStatus WaitForState(long wantedState) {
    strServiceStatus status;
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
        status = QueryService();
        if (status.state == wantedState && status.win32ExitCode != kNeverStarted) break;
        Sleep(kPollMs);
    }
    return status;
}

void ServiceTest::SetUpTestSuite() {
    oneServiceManager = WaitForOneServiceManager();
}

void ServiceTest::SetUp() {
    if (!oneServiceManager) GTEST_SKIP() << "Wine is still preparing its fresh prefix";
    files = std::make_unique<TempFolder>();
    folder = files->Path().string() + "\\";
    const std::string own = OwnFolder();
    for (const char* file : kProgramFiles) {
        ASSERT_TRUE(CopyFileA((own + file).c_str(), (folder + file).c_str(), FALSE)) << file;
    }
    RemoveService();
}

void ServiceTest::TearDown() {
    if (!oneServiceManager) return;
    // The service goes before its folder does.
    RemoveService();
    files.reset();
}

void ServiceTest::WriteFile(const std::string& name, const std::string& text) const {
    files->Write(name, text);
}

std::string ServiceTest::ReadFile(const std::string& name) const {
    return files->Read(name);
}

bool ServiceTest::InstallService() const {
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kSettleMs) {
        RunCommand("sc.exe create TesmoApi binpath= \"" + folder + "TesmoApi.exe\"");
        if (QueryService().state == SERVICE_STOPPED) return true;
        Sleep(kSettleMs);
    }
    return false;
}

void ServiceTest::RemoveService() {
    if (QueryService().state == SERVICE_RUNNING) {
        RunCommand("sc.exe stop TesmoApi");
        WaitForState(SERVICE_STOPPED);
    }
    RunCommand("sc.exe delete TesmoApi");
}

bool ServiceTest::oneServiceManager = false;

// The program as a Windows service: a GUI-subsystem program whose WinMain
// hands the main thread to the service dispatcher (or runs a switch), a
// ServiceMain that reports the service states, and a control handler that
// turns stop and shutdown into the stop event. Messages are message boxes.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "service/CodePage_win32.h"
#include "service/HostSystem.h"
#include "service/ServiceHost.h"

namespace {

// Own-process and share-process bits together.
constexpr DWORD kServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
constexpr DWORD kControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
// Messages are shown in the Windows-1252 code page.
constexpr UINT kMessageCodePage = 1252;
constexpr int kMessageSize = 512;

// Auto-reset, not signalled: set by the control handler, waited for by
// ServiceMain. A stop that comes while RunApi runs stays set until the wait.
HANDLE stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
SERVICE_STATUS_HANDLE statusHandle;
SERVICE_STATUS status;

UINT IconFlags(eMessageIcon icon) {
    switch (icon) {
        case eMessageIcon::Error:
            return MB_ICONERROR;
        case eMessageIcon::Warning:
            return MB_ICONWARNING;
        case eMessageIcon::Information:
            return MB_ICONINFORMATION;
    }
    return MB_ICONERROR;
}

void WINAPI ServiceControlHandler(DWORD control) {
    // Every other control, interrogation included, is ignored.
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        SetEvent(stopEvent);
    }
}

void WINAPI ServiceMain(DWORD /*argumentCount*/, LPSTR* /*arguments*/) {
    status = {};
    status.dwServiceType = kServiceType;
    status.dwControlsAccepted = kControlsAccepted;
    statusHandle = RegisterServiceCtrlHandlerA(kServiceName, ServiceControlHandler);
    if (statusHandle == nullptr) return;
    RunService();
}

}  // namespace

bool ToWindows1252(const char* text, char* local, size_t size) {
    wchar_t wide[kMessageSize];
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, kMessageSize) == 0) return false;
    return WideCharToMultiByte(kMessageCodePage, 0, wide, -1, local, static_cast<int>(size),
                               nullptr, nullptr) != 0;
}

void ShowMessage(const char* text, eMessageIcon icon) {
    char local[kMessageSize];
    if (!ToWindows1252(text, local, sizeof local)) return;
    const UINT flags = IconFlags(icon) | MB_SETFOREGROUND;
    ShowMessageBox(local, flags);
}

bool GetProgramFileName(char* name, size_t size, unsigned* error) {
    const DWORD room = size < kProgramPathLength ? static_cast<DWORD>(size) : kProgramPathLength;
    const DWORD length = GetModuleFileNameA(nullptr, name, room);
    if (length == 0 || length >= room) {
        *error = GetLastError();
        return false;
    }
    return true;
}

bool EnterProgramDirectory(char* directory, size_t size) {
    char fileName[kProgramPathLength + 1];
    unsigned error;
    if (!GetProgramFileName(fileName, sizeof fileName, &error)) return false;
    char* separator = strrchr(fileName, '\\');
    char* slash = strrchr(fileName, '/');
    if (separator == nullptr || (slash != nullptr && slash > separator)) separator = slash;
    if (separator == nullptr) return false;
    separator[1] = '\0';
    if (static_cast<size_t>(snprintf(directory, size, "%s", fileName)) >= size) return false;
    return SetCurrentDirectoryA(directory) != FALSE;
}

void ReportServiceState(eServiceState state, int exitCode) {
    status.dwCurrentState = static_cast<DWORD>(state);
    status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exitCode);
    SetServiceStatus(statusHandle, &status);
}

void WaitForStopRequest() {
    WaitForSingleObject(stopEvent, INFINITE);
}

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR commandLine,
                   int /*show*/) {
    if (commandLine != nullptr && *commandLine != '\0') return RunCommandLine(commandLine);
    char serviceName[sizeof kServiceName];
    memcpy(serviceName, kServiceName, sizeof kServiceName);
    SERVICE_TABLE_ENTRYA table[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
    // Outside the Service Control Manager this fails at once; the program
    // then simply ends.
    StartServiceCtrlDispatcherA(table);
    return 0;
}

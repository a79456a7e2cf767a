// The process's figures from its own counters: times, working set, handles,
// and its threads as a thread snapshot lists them.
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>

#include "api/ProcessFigures.h"

namespace {

// FILETIME counts 100-nanosecond intervals from 1601-01-01T00:00:00Z.
constexpr double kIntervalsPerSecond = 1e7;
constexpr unsigned long long kIntervalsFrom1601To1970 = 116444736000000000ull;

unsigned long long Intervals(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The threads of this process in a snapshot of the system's threads.
bool CountThreads(uint64_t* count) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    const DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    uint64_t threads = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++threads;
    }
    CloseHandle(snapshot);
    *count = threads;
    return threads > 0;
}

}  // namespace

bool ReadProcessFigures(strProcessFigures* figures) {
    HANDLE process = GetCurrentProcess();
    FILETIME creation, exit, kernel, user;
    PROCESS_MEMORY_COUNTERS memory;
    DWORD handles = 0;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user) ||
        !GetProcessMemoryInfo(process, &memory, sizeof memory) ||
        !GetProcessHandleCount(process, &handles)) {
        return false;
    }
    figures->cpuSeconds =
        static_cast<double>(Intervals(kernel) + Intervals(user)) / kIntervalsPerSecond;
    figures->startTimeSeconds =
        static_cast<double>(Intervals(creation) - kIntervalsFrom1601To1970) / kIntervalsPerSecond;
    figures->residentBytes = memory.WorkingSetSize;
    figures->openDescriptors = handles;
    return CountThreads(&figures->threads);
}

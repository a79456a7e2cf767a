// The process's figures from /proc: its stat line, the boot time (read once)
// and its descriptor folder.
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "api/ProcessFigures.h"

namespace {

// Bytes read of /proc/self/stat and of /proc/stat's lines; the stat line of
// a process is far shorter, and the line wanted of /proc/stat comes early.
constexpr size_t kStatTextSize = 1024;

// Reads the first size - 1 bytes of a file, terminated; false when it
// cannot be opened or is empty.
bool ReadHead(const char* path, char* text, size_t size) {
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return false;
    const size_t length = std::fread(text, 1, size - 1, file);
    std::fclose(file);
    text[length] = '\0';
    return length > 0;
}

// The system's boot time in seconds since 1970, from /proc/stat.
bool ReadBootTime(unsigned long long* seconds) {
    FILE* file = std::fopen("/proc/stat", "r");
    if (file == nullptr) return false;
    char line[kStatTextSize];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, file) != nullptr) {
        found = std::sscanf(line, "btime %llu", seconds) == 1;
    }
    std::fclose(file);
    return found;
}

// The boot time never changes: /proc/stat is read until it has answered once.
bool BootTime(unsigned long long* seconds) {
    static std::atomic<unsigned long long> known{0};
    *seconds = known.load(std::memory_order_relaxed);
    if (*seconds != 0) return true;
    if (!ReadBootTime(seconds)) return false;
    known.store(*seconds, std::memory_order_relaxed);
    return true;
}

// Entries of /proc/self/fd, less the one the listing itself opens.
bool CountDescriptors(uint64_t* count) {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return false;
    uint64_t entries = 0;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') ++entries;
    }
    closedir(folder);
    *count = entries > 0 ? entries - 1 : 0;
    return true;
}

}  // namespace

bool ReadProcessFigures(strProcessFigures* figures) {
    char stat[kStatTextSize];
    if (!ReadHead("/proc/self/stat", stat, sizeof stat)) return false;
    // The command name in parentheses may hold blanks and parentheses: the
    // fields are counted from the last ")".
    const char* fields = std::strrchr(stat, ')');
    if (fields == nullptr) return false;
    unsigned long userTicks, systemTicks;
    long threads, residentPages;
    unsigned long long startTicks, bootTime;
    // From field 3 (state) on: utime 14, stime 15, num_threads 20,
    // starttime 22, rss 24.
    const int read = std::sscanf(fields + 1,
                                 " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu %*d %*d "
                                 "%*d %*d %ld %*d %llu %*u %ld",
                                 &userTicks, &systemTicks, &threads, &startTicks, &residentPages);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (read != 5 || ticksPerSecond <= 0 || pageSize <= 0 || !BootTime(&bootTime)) {
        return false;
    }
    const double ticks = static_cast<double>(ticksPerSecond);
    figures->cpuSeconds = static_cast<double>(userTicks + systemTicks) / ticks;
    figures->startTimeSeconds =
        static_cast<double>(bootTime) + static_cast<double>(startTicks) / ticks;
    figures->residentBytes = static_cast<uint64_t>(residentPages) * static_cast<uint64_t>(pageSize);
    figures->threads = static_cast<uint64_t>(threads);
    return CountDescriptors(&figures->openDescriptors);
}

// The figures of the running process that the metrics show, read from the
// operating system at each scrape (/proc on Linux, the boot time there only
// once; the process's own counters on Windows).
#pragma once

#include <cstdint>

struct strProcessFigures {
    double cpuSeconds;         // user and system time
    double startTimeSeconds;   // since 1970-01-01T00:00:00Z
    uint64_t residentBytes;    // resident set (Linux), working set (Windows)
    uint64_t openDescriptors;  // open file descriptors (Linux), handles (Windows)
    uint64_t threads;
};

// False when the system would not tell; *figures is then incomplete.
bool ReadProcessFigures(strProcessFigures* figures);

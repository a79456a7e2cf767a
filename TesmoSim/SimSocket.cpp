// The waiting receives of SimSocket.h, built on the platform's primitives.
#include "SimSocket.h"

bool SimReceiveAll(SimSocket s, void* data, std::size_t size, const std::atomic<bool>& stopping) {
    char* next = static_cast<char*>(data);
    while (size > 0) {
        if (stopping) return false;
        int ready = SimWaitReadable(s, kSimStopPollMs);
        if (ready < 0) return false;
        if (ready == 0) continue;
        long got = SimReceiveSome(s, next, size);
        if (got <= 0) return false;
        next += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

void SimDrain(SimSocket s, const std::atomic<bool>& stopping) {
    char sink[512];
    while (!stopping) {
        int ready = SimWaitReadable(s, kSimStopPollMs);
        if (ready < 0) return;
        if (ready > 0 && SimReceiveSome(s, sink, sizeof sink) <= 0) return;
    }
}

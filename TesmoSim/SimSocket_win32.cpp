// Winsock 2.2 primitives of SimSocketNative.h and SimSocket.h.
#include "SimSocketNative.h"

namespace tesmosim {

namespace {

// Winsock transfers at most INT_MAX bytes per call.
int Chunk(std::size_t size) {
    const std::size_t most = 1 << 30;
    return static_cast<int>(size < most ? size : most);
}

}  // namespace

bool SimSocketsStart() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void SimSocketsStop() {
    WSACleanup();
}

void SimSwitchOn(SimNativeSocket s, int level, int name) {
    BOOL on = TRUE;
    setsockopt(s, level, name, reinterpret_cast<const char*>(&on), sizeof on);
}

int SimWaitReadable(SimSocket s, int timeoutMs) {
    WSAPOLLFD waiting;
    waiting.fd = SimNative(s);
    waiting.events = POLLRDNORM;
    waiting.revents = 0;
    int ready = WSAPoll(&waiting, 1, timeoutMs);
    return ready < 0 ? -1 : ready;
}

long SimReceiveSome(SimSocket s, void* data, std::size_t size) {
    return recv(SimNative(s), static_cast<char*>(data), Chunk(size), 0);
}

long SimSendSome(SimSocket s, const void* data, std::size_t size) {
    return send(SimNative(s), static_cast<const char*>(data), Chunk(size), 0);
}

void SimClose(SimSocket s) {
    closesocket(SimNative(s));
}

}  // namespace tesmosim

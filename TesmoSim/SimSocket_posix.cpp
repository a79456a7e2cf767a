// BSD sockets primitives of SimSocketNative.h and SimSocket.h.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "SimSocketNative.h"

namespace tesmosim {

bool SimSocketsStart() {
    return true;
}

void SimSocketsStop() {}

void SimSwitchOn(SimNativeSocket s, int level, int name) {
    int on = 1;
    setsockopt(s, level, name, &on, sizeof on);
}

int SimWaitReadable(SimSocket s, int timeoutMs) {
    pollfd waiting = {SimNative(s), POLLIN, 0};
    int ready = poll(&waiting, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    return ready;
}

long SimReceiveSome(SimSocket s, void* data, std::size_t size) {
    ssize_t got;
    do {
        got = recv(SimNative(s), data, size, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

long SimSendSome(SimSocket s, const void* data, std::size_t size) {
    ssize_t sent;
    do {
        sent = send(SimNative(s), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return static_cast<long>(sent);
}

void SimClose(SimSocket s) {
    close(SimNative(s));
}

}  // namespace tesmosim

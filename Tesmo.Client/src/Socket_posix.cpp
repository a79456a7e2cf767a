// BSD sockets.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "SocketNative.h"

namespace tesmo {

bool SocketLayerStart() {
    return true;
}
void SocketLayerStop() {}

static int Native(SocketHandle socket) {
    return static_cast<int>(socket);
}

static bool SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

SocketHandle SocketOpenStream() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kNoSocket : fd;
}

bool SocketConnectWithin(SocketHandle socket, const sockaddr_in& address, int timeoutMs) {
    int fd = Native(socket);
    if (!SetBlocking(fd, false)) return false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) return false;
        pollfd wait = {fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&wait, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
    }
    return SetBlocking(fd, true);
}

void SocketSetNoDelay(SocketHandle socket) {
    int on = 1;
    setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void SocketSetSendTimeout(SocketHandle socket, int timeoutMs) {
    timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(Native(socket), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void SocketClose(SocketHandle socket) {
    if (socket != kNoSocket) close(Native(socket));
}

long SocketSendSome(SocketHandle socket, const void* data, std::size_t length) {
    return static_cast<long>(send(Native(socket), data, length, MSG_NOSIGNAL));
}

int SocketWaitReadable(SocketHandle socket, int timeoutMs) {
    pollfd wait = {Native(socket), POLLIN, 0};
    int ready;
    do {
        ready = poll(&wait, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready < 0 ? -1 : (ready == 0 ? 0 : 1);
}

long SocketReceiveSome(SocketHandle socket, void* data, std::size_t length) {
    ssize_t got;
    do {
        got = recv(Native(socket), data, length, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

}  // namespace tesmo

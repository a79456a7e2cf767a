// BSD sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Socket.h"

namespace tesmo {

bool SocketLayerStart() {
    return true;
}
void SocketLayerStop() {}

// First IPv4 address of host; getaddrinfo, unlike gethostbyname, is safe to
// call from several clients on different threads at once.
static bool Resolve(const char* host, std::uint16_t port, sockaddr_in* address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    std::memcpy(address, found->ai_addr, sizeof *address);
    freeaddrinfo(found);
    address->sin_port = htons(port);
    return true;
}

static bool SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

// Connects a non-blocking socket and waits at most timeoutMs for the result.
static bool ConnectWithin(int fd, const sockaddr_in& address, int timeoutMs) {
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

SocketHandle SocketConnect(const char* host, std::uint16_t port, int timeoutMs) {
    sockaddr_in address;
    if (!Resolve(host, port, &address)) return kNoSocket;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kNoSocket;
    if (!ConnectWithin(fd, address, timeoutMs)) {
        close(fd);
        return kNoSocket;
    }
    // Requests are small and each waits for its reply: send them at once.
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    return fd;
}

void SocketClose(SocketHandle socket) {
    if (socket != kNoSocket) close(static_cast<int>(socket));
}

bool SocketSend(SocketHandle socket, const void* data, std::size_t length) {
    ssize_t sent = send(static_cast<int>(socket), data, length, MSG_NOSIGNAL);
    return sent >= 0 && static_cast<std::size_t>(sent) == length;
}

int SocketWaitReadable(SocketHandle socket, int timeoutMs) {
    pollfd wait = {static_cast<int>(socket), POLLIN, 0};
    int ready;
    do {
        ready = poll(&wait, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready < 0 ? -1 : (ready == 0 ? 0 : 1);
}

long SocketReceiveSome(SocketHandle socket, void* data, std::size_t length) {
    ssize_t got;
    do {
        got = recv(static_cast<int>(socket), data, length, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

}  // namespace tesmo

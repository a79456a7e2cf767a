// BSD sockets implementation of SimSocket.h.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "SimSocket.h"

namespace {

int Fd(SimSocket s) {
    return static_cast<int>(s);
}

bool ResolveIpv4(const char* address, in_addr* out) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    *out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

}  // namespace

bool SimSocketsStart() {
    return true;
}

void SimSocketsStop() {}

SimSocket SimListen(const char* address, int port, int* boundPort) {
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (!ResolveIpv4(address, &local.sin_addr)) return kNoSocket;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return kNoSocket;
    // A restarted simulator can take its port back at once.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t length = sizeof local;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        close(fd);
        return kNoSocket;
    }
    *boundPort = ntohs(local.sin_port);
    return fd;
}

SimSocket SimAccept(SimSocket listener, std::string* peer) {
    sockaddr_in remote;
    socklen_t length = sizeof remote;
    int fd = accept(Fd(listener), reinterpret_cast<sockaddr*>(&remote), &length);
    if (fd < 0) return kNoSocket;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    char text[INET_ADDRSTRLEN + 8];
    char dotted[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &remote.sin_addr, dotted, sizeof dotted);
    std::snprintf(text, sizeof text, "%s:%u", dotted,
                  static_cast<unsigned>(ntohs(remote.sin_port)));
    *peer = text;
    return fd;
}

int SimWaitReadable(SimSocket s, int timeoutMs) {
    pollfd waiting = {Fd(s), POLLIN, 0};
    int ready = poll(&waiting, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    return ready;
}

long SimReceiveSome(SimSocket s, void* data, std::size_t size) {
    ssize_t got;
    do {
        got = recv(Fd(s), data, size, 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

bool SimSendAll(SimSocket s, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = send(Fd(s), next, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        next += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void SimShutdown(SimSocket s) {
    shutdown(Fd(s), SHUT_RDWR);
}

void SimClose(SimSocket s) {
    close(Fd(s));
}

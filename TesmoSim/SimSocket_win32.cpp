// Winsock 2.2 implementation of SimSocket.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

#include "SimSocket.h"

namespace {

SOCKET Handle(SimSocket s) {
    return static_cast<SOCKET>(s);
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

SimSocket SimListen(const char* address, int port, int* boundPort) {
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<u_short>(port));
    if (!ResolveIpv4(address, &local.sin_addr)) return kNoSocket;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kNoSocket;
    // No other process may take over the port while the simulator listens.
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    int length = sizeof local;
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(s, 64) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        closesocket(s);
        return kNoSocket;
    }
    *boundPort = ntohs(local.sin_port);
    return static_cast<SimSocket>(s);
}

SimSocket SimAccept(SimSocket listener, std::string* peer) {
    sockaddr_in remote;
    int length = sizeof remote;
    SOCKET s = accept(Handle(listener), reinterpret_cast<sockaddr*>(&remote), &length);
    if (s == INVALID_SOCKET) return kNoSocket;
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    char text[32];
    const unsigned char* octets = reinterpret_cast<const unsigned char*>(&remote.sin_addr);
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", octets[0], octets[1], octets[2], octets[3],
                  static_cast<unsigned>(ntohs(remote.sin_port)));
    *peer = text;
    return static_cast<SimSocket>(s);
}

int SimWaitReadable(SimSocket s, int timeoutMs) {
    WSAPOLLFD waiting;
    waiting.fd = Handle(s);
    waiting.events = POLLRDNORM;
    waiting.revents = 0;
    int ready = WSAPoll(&waiting, 1, timeoutMs);
    return ready < 0 ? -1 : ready;
}

long SimReceiveSome(SimSocket s, void* data, std::size_t size) {
    return recv(Handle(s), static_cast<char*>(data), Chunk(size), 0);
}

bool SimSendAll(SimSocket s, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        int sent = send(Handle(s), next, Chunk(size), 0);
        if (sent <= 0) return false;
        next += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void SimShutdown(SimSocket s) {
    shutdown(Handle(s), SD_BOTH);
}

void SimClose(SimSocket s) {
    closesocket(Handle(s));
}

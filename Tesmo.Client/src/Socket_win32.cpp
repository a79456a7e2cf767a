// Windows Sockets 2.2.
#include "SocketNative.h"

namespace tesmo {

bool SocketLayerStart() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void SocketLayerStop() {
    WSACleanup();
}

static SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

static bool SetBlocking(SOCKET s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

static timeval Limit(int timeoutMs) {
    timeval limit;
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    return limit;
}

SocketHandle SocketOpenStream() {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

bool SocketConnectWithin(SocketHandle socket, const sockaddr_in& address, int timeoutMs) {
    SOCKET s = Native(socket);
    if (!SetBlocking(s, false)) return false;
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval limit = Limit(timeoutMs);
        if (select(0, nullptr, &writable, &failed, &limit) <= 0) return false;
        if (FD_ISSET(s, &failed) || !FD_ISSET(s, &writable)) return false;
        int error = 0;
        int size = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 ||
            error != 0)
            return false;
    }
    return SetBlocking(s, true);
}

void SocketSetNoDelay(SocketHandle socket) {
    BOOL on = TRUE;
    setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

void SocketSetSendTimeout(SocketHandle socket, int timeoutMs) {
    DWORD limit = static_cast<DWORD>(timeoutMs);
    setsockopt(Native(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit),
               sizeof limit);
}

void SocketClose(SocketHandle socket) {
    if (socket != kNoSocket) closesocket(Native(socket));
}

long SocketSendSome(SocketHandle socket, const void* data, std::size_t length) {
    return send(Native(socket), static_cast<const char*>(data), static_cast<int>(length), 0);
}

int SocketWaitReadable(SocketHandle socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(socket), &readable);
    timeval limit = Limit(timeoutMs);
    int ready = select(0, &readable, nullptr, nullptr, &limit);
    return ready < 0 ? -1 : (ready == 0 ? 0 : 1);
}

long SocketReceiveSome(SocketHandle socket, void* data, std::size_t length) {
    return recv(Native(socket), static_cast<char*>(data), static_cast<int>(length), 0);
}

}  // namespace tesmo

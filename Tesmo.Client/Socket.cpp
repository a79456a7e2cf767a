#include "Socket.h"

#include <chrono>
#include <cstring>

#include "SocketNative.h"

namespace tesmo {

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

SocketHandle SocketConnect(const char* host, std::uint16_t port, int timeoutMs) {
    sockaddr_in address;
    if (!Resolve(host, port, &address)) return kNoSocket;
    SocketHandle socket = SocketOpenStream();
    if (socket == kNoSocket) return kNoSocket;
    if (!SocketConnectWithin(socket, address, timeoutMs)) {
        SocketClose(socket);
        return kNoSocket;
    }
    // Requests are small and each waits for its reply: send them at once.
    SocketSetNoDelay(socket);
    SocketSetSendTimeout(socket, timeoutMs);
    return socket;
}

bool SocketReceive(SocketHandle socket, void* data, std::size_t length, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned char* out = static_cast<unsigned char*>(data);
    std::size_t received = 0;
    while (received < length) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (SocketWaitReadable(socket, static_cast<int>(left.count())) <= 0) return false;
        long got = SocketReceiveSome(socket, out + received, length - received);
        if (got <= 0) return false;
        received += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace tesmo

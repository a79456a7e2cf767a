// The parts of SimSocket.h that read the same on every platform, built on the
// primitives of SimSocketNative.h.
#include "SimSocket.h"

#include <cstdio>
#include <cstring>

#include "SimSocketNative.h"

namespace tesmosim {

namespace {

// Connections that may wait to be accepted while the simulator is busy.
constexpr int kListenBacklog = 64;

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

// "address:port" of an IPv4 peer in dotted form.
std::string PeerText(const sockaddr_in& remote) {
    char text[sizeof "255.255.255.255:65535"];
    const unsigned char* octets = reinterpret_cast<const unsigned char*>(&remote.sin_addr);
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", octets[0], octets[1], octets[2], octets[3],
                  static_cast<unsigned>(ntohs(remote.sin_port)));
    return text;
}

}  // namespace

bool SimSocketAddress(const char* address, int port, sockaddr_in* out) {
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons(static_cast<std::uint16_t>(port));
    return ResolveIpv4(address, &out->sin_addr);
}

SimSocket SimListen(const char* address, int port, int* boundPort) {
    sockaddr_in local;
    if (!SimSocketAddress(address, port, &local)) return kNoSocket;
    SimNativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kSimNativeNone) return kNoSocket;
    SimSwitchOn(s, SOL_SOCKET, kSimListenAddressOption);
    SimAddressLength length = sizeof local;
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        listen(s, kListenBacklog) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        SimClose(static_cast<SimSocket>(s));
        return kNoSocket;
    }
    *boundPort = ntohs(local.sin_port);
    return static_cast<SimSocket>(s);
}

SimSocket SimAccept(SimSocket listener, std::string* peer) {
    sockaddr_in remote;
    SimAddressLength length = sizeof remote;
    SimNativeSocket s = accept(SimNative(listener), reinterpret_cast<sockaddr*>(&remote), &length);
    if (s == kSimNativeNone) return kNoSocket;
    SimSwitchOn(s, IPPROTO_TCP, TCP_NODELAY);
    *peer = PeerText(remote);
    return static_cast<SimSocket>(s);
}

bool SimSendAll(SimSocket s, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        long sent = SimSendSome(s, next, size);
        if (sent <= 0) return false;
        next += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

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

void SimShutdown(SimSocket s) {
    shutdown(SimNative(s), kSimShutdownBoth);
}

}  // namespace tesmosim

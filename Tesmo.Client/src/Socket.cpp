#include "Socket.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "SocketNative.h"

namespace tesmo {

namespace {

// When every wait is abandoned, in ticks of the steady clock; the greatest
// tick while the process runs on.
std::atomic<Deadline::rep> abandonTick{Deadline::max().time_since_epoch().count()};

// The first IPv4 address getaddrinfo gives for host with these flags.
// getaddrinfo, unlike gethostbyname, is safe to call from several clients on
// different threads at once.
bool FirstAddress(const char* host, int flags, std::uint32_t* address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    sockaddr_in first;
    std::memcpy(&first, found->ai_addr, sizeof first);
    freeaddrinfo(found);
    *address = first.sin_addr.s_addr;
    return true;
}

// One look-up, shared by the caller that waits for it and the thread that
// runs it; whichever lets go last frees it.
struct strLookup {
    std::string host;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool found = false;
    std::uint32_t address = 0;
};

void RunLookup(const std::shared_ptr<strLookup>& pending, HostLookup lookup) {
    // The thread holds the socket layer itself: the client that asked may be
    // gone, and have stopped its own use of it, before the look-up ends.
    std::uint32_t address = 0;
    bool found = false;
    if (SocketLayerStart()) {
        found = lookup(pending->host.c_str(), &address);
        SocketLayerStop();
    }
    std::lock_guard<std::mutex> guard(pending->lock);
    pending->done = true;
    pending->found = found;
    pending->address = address;
    pending->finished.notify_all();
}

}  // namespace

Deadline DeadlineAfter(int timeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

void AbandonWaitsAt(Deadline moment) {
    abandonTick = moment.time_since_epoch().count();
}

int MillisecondsLeft(Deadline deadline) {
    const Deadline abandon{Deadline::duration(abandonTick.load())};
    auto left = std::chrono::ceil<std::chrono::milliseconds>(std::min(deadline, abandon) -
                                                             std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool SystemLookup(const char* host, std::uint32_t* address) {
    return FirstAddress(host, 0, address);
}

bool ResolveHost(const char* host, Deadline deadline, std::uint32_t* address, HostLookup lookup) {
    if (FirstAddress(host, AI_NUMERICHOST, address)) return true;
    auto pending = std::make_shared<strLookup>();
    pending->host = host;
    try {
        std::thread(RunLookup, pending, lookup).detach();
    } catch (const std::system_error&) {
        return false;  // no thread to be had: the name stays unresolved
    }
    std::unique_lock<std::mutex> guard(pending->lock);
    if (!pending->finished.wait_until(guard, deadline, [&] { return pending->done; })) return false;
    if (!pending->found) return false;
    *address = pending->address;
    return true;
}

SocketHandle SocketConnect(const char* host, std::uint16_t port, Deadline deadline) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    std::uint32_t ip;
    if (!ResolveHost(host, deadline, &ip)) return kNoSocket;
    address.sin_addr.s_addr = ip;
    int left = MillisecondsLeft(deadline);
    if (left == 0) return kNoSocket;
    SocketHandle socket = SocketOpenStream();
    if (socket == kNoSocket) return kNoSocket;
    if (!SocketConnectWithin(socket, address, left)) {
        SocketClose(socket);
        return kNoSocket;
    }
    // Requests are small and each waits for its reply: send them at once.
    SocketSetNoDelay(socket);
    return socket;
}

bool SocketSend(SocketHandle socket, const void* data, std::size_t length, Deadline deadline) {
    int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    SocketSetSendTimeout(socket, left);
    long sent = SocketSendSome(socket, data, length);
    return sent >= 0 && static_cast<std::size_t>(sent) == length;
}

bool SocketReceive(SocketHandle socket, void* data, std::size_t length, Deadline deadline) {
    unsigned char* out = static_cast<unsigned char*>(data);
    std::size_t received = 0;
    while (received < length) {
        int left = MillisecondsLeft(deadline);
        if (left == 0) return false;
        int ready = SocketWaitReadable(socket, std::min(left, kAbandonCheckMilliseconds));
        if (ready < 0) return false;
        if (ready == 0) continue;
        long got = SocketReceiveSome(socket, out + received, length - received);
        if (got <= 0) return false;
        received += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace tesmo

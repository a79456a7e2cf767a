#include "FakeServer.h"

#include <chrono>
#include <stdexcept>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
static void CloseNative(NativeSocket s) {
    closesocket(s);
}
static const NativeSocket kInvalid = INVALID_SOCKET;
using AddressLength = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
static void CloseNative(NativeSocket s) {
    close(s);
}
static const NativeSocket kInvalid = -1;
using AddressLength = socklen_t;
#endif

namespace {

// How long the server thread sleeps between looks at its stop flag.
constexpr long kPollMicroseconds = 20000;
// Longest wait for a client before the script is abandoned.
constexpr int kAcceptWaitMs = 20000;

// A send to a client that has gone fails instead of raising SIGPIPE.
#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

NativeSocket Native(std::intptr_t s) {
    return static_cast<NativeSocket>(s);
}

}  // namespace

FakeServer::FakeServer() {
#if defined(_WIN32)
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    NativeSocket s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == kInvalid) throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    AddressLength length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 4) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseNative(s);
        throw std::runtime_error("bind");
    }
    listener_ = static_cast<std::intptr_t>(s);
    port_ = ntohs(address.sin_port);
}

FakeServer::~FakeServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    CloseNative(Native(listener_));
#if defined(_WIN32)
    WSACleanup();
#endif
}

void FakeServer::Reply(std::size_t requestSize, const std::string& reply) {
    script_.push_back({requestSize, eAction::Reply, reply, 0});
}

void FakeServer::Trickle(std::size_t requestSize, const std::string& reply, int gapMs) {
    script_.push_back({requestSize, eAction::Trickle, reply, gapMs});
}

void FakeServer::Stall(std::size_t requestSize) {
    script_.push_back({requestSize, eAction::Stall, std::string(), 0});
}

void FakeServer::Close(std::size_t requestSize) {
    script_.push_back({requestSize, eAction::Close, std::string(), 0});
}

void FakeServer::Start() {
    thread_ = std::thread(&FakeServer::Run, this);
}

bool FakeServer::WaitClientClosed(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return closed_; });
}

bool FakeServer::WaitAccepted(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return accepted_; });
}

std::vector<std::string> FakeServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::string FakeServer::Extra() {
    std::lock_guard<std::mutex> lock(mutex_);
    return extra_;
}

// Waits until s has something to read (or the peer closed); false once the
// server is stopping.
bool FakeServer::WaitReadable(std::intptr_t s) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return false;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(Native(s), &readable);
        timeval limit = {0, kPollMicroseconds};
        int ready = select(static_cast<int>(Native(s)) + 1, &readable, nullptr, nullptr, &limit);
        if (ready < 0) return false;
        if (ready > 0) return true;
    }
}

bool FakeServer::ReadExactly(std::intptr_t connection, std::size_t size, std::string* out) {
    out->clear();
    char buffer[4096];
    while (out->size() < size) {
        if (!WaitReadable(connection)) return false;
        std::size_t want = size - out->size() < sizeof buffer ? size - out->size() : sizeof buffer;
        int got = static_cast<int>(recv(Native(connection), buffer, static_cast<int>(want), 0));
        if (got <= 0) return false;
        out->append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

void FakeServer::Run() {
    auto started = std::chrono::steady_clock::now();
    while (true) {
        if (std::chrono::steady_clock::now() - started > std::chrono::milliseconds(kAcceptWaitMs))
            return;
        if (!WaitReadable(listener_)) return;
        NativeSocket connection = accept(Native(listener_), nullptr, nullptr);
        if (connection == kInvalid) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            accepted_ = true;
        }
        changed_.notify_all();
        std::intptr_t handle = static_cast<std::intptr_t>(connection);
        if (Play(handle)) DrainUntilClosed(handle);
        CloseNative(connection);
        return;
    }
}

// Plays the script; false when the connection ended before the script did.
bool FakeServer::Play(std::intptr_t connection) {
    for (const strStep& step : script_) {
        std::string request;
        bool complete = ReadExactly(connection, step.requestSize, &request);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        if (!complete) break;
        if (step.action == eAction::Close) return false;
        if (step.action == eAction::Stall) break;
        bool sent = step.action == eAction::Trickle
                        ? SendTrickling(connection, step.reply, step.gapMs)
                        : Send(connection, step.reply.data(), step.reply.size());
        if (!sent) return false;
    }
    return true;
}

bool FakeServer::Send(std::intptr_t connection, const char* data, std::size_t size) {
    if (size == 0) return true;
    return send(Native(connection), data, static_cast<int>(size), kSendFlags) ==
           static_cast<int>(size);
}

// One byte at a time, each after a pause; stops early when the client has
// gone or the server is stopping.
bool FakeServer::SendTrickling(std::intptr_t connection, const std::string& reply, int gapMs) {
    for (char byte : reply) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (changed_.wait_for(lock, std::chrono::milliseconds(gapMs), [this] { return stopping_; }))
            return false;
        lock.unlock();
        if (!Send(connection, &byte, 1)) return false;
    }
    return true;
}

// Reads whatever else the client sends until it closes the connection.
void FakeServer::DrainUntilClosed(std::intptr_t connection) {
    char buffer[4096];
    while (WaitReadable(connection)) {
        int got = static_cast<int>(recv(Native(connection), buffer, sizeof buffer, 0));
        if (got <= 0) break;
        std::lock_guard<std::mutex> lock(mutex_);
        extra_.append(buffer, static_cast<std::size_t>(got));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

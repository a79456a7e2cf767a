#include "TestClient.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
#endif

namespace {

const std::uintptr_t kNoSocket = ~static_cast<std::uintptr_t>(0);
const char kHeaderEnd[] = "\r\n\r\n";
const char kLengthHeader[] = "\r\nContent-Length: ";

NativeSocket Native(std::uintptr_t s) {
    return static_cast<NativeSocket>(s);
}

bool WaitReadable(std::uintptr_t s, int timeoutMs) {
#if defined(_WIN32)
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(s), &readable);
    timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
#else
    pollfd entry = {Native(s), POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
#endif
}

void CloseNative(std::uintptr_t s) {
#if defined(_WIN32)
    closesocket(Native(s));
#else
    close(Native(s));
#endif
}

}  // namespace

TestClient::TestClient(unsigned short port) : socket(kNoSocket) {
#if defined(_WIN32)
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    NativeSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        CloseNative(static_cast<std::uintptr_t>(s));
        return;
    }
    socket = static_cast<std::uintptr_t>(s);
}

TestClient::~TestClient() {
    Close();
#if defined(_WIN32)
    WSACleanup();
#endif
}

void TestClient::Close() {
    if (socket == kNoSocket) return;
    CloseNative(socket);
    socket = kNoSocket;
}

bool TestClient::Connected() const {
    return socket != kNoSocket;
}

bool TestClient::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        int piece = static_cast<int>(bytes.size() - done);
#if defined(_WIN32)
        int sent = send(Native(socket), bytes.data() + done, piece, 0);
#else
        int sent = static_cast<int>(send(Native(socket), bytes.data() + done, piece, MSG_NOSIGNAL));
#endif
        if (sent <= 0) return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

bool TestClient::ReceiveMore(int timeoutMs) {
    if (socket == kNoSocket || !WaitReadable(socket, timeoutMs)) return false;
    char buffer[16384];
    int received = static_cast<int>(recv(Native(socket), buffer, sizeof(buffer), 0));
    if (received <= 0) return false;
    pending.append(buffer, static_cast<size_t>(received));
    return true;
}

std::string TestClient::ReadHeader(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t end;
    while ((end = pending.find(kHeaderEnd)) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReceiveMore(static_cast<int>(left.count()))) return "";
    }
    std::string header = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    return header;
}

std::string TestClient::ReadAnswer(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string header = ReadHeader(timeoutMs);
    if (header.empty()) return "";
    long long length = ContentLength(header);
    size_t wanted = length > 0 ? static_cast<size_t>(length) : 0;
    while (pending.size() < wanted) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReceiveMore(static_cast<int>(left.count()))) return "";
    }
    std::string answer = header + pending.substr(0, wanted);
    pending.erase(0, wanted);
    return answer;
}

std::string TestClient::ReadUntilClosed(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return pending + "<timeout>";
        if (!WaitReadable(socket, static_cast<int>(left.count()))) continue;
        char buffer[16384];
        int received = static_cast<int>(recv(Native(socket), buffer, sizeof(buffer), 0));
        if (received <= 0) break;
        pending.append(buffer, static_cast<size_t>(received));
    }
    std::string all = pending;
    pending.clear();
    return all;
}

std::string GetRequest(const std::string& target, const std::string& headers) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

long long ContentLength(const std::string& header) {
    size_t at = header.find(kLengthHeader);
    if (at == std::string::npos) return -1;
    return std::strtoll(header.c_str() + at + sizeof(kLengthHeader) - 1, nullptr, 10);
}

#include "HttpGet.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketHandle = SOCKET;
static void CloseSocket(SocketHandle s) {
    closesocket(s);
}
static bool SocketValid(SocketHandle s) {
    return s != INVALID_SOCKET;
}
static void SetReceiveTimeout(SocketHandle s, int seconds) {
    DWORD milliseconds = static_cast<DWORD>(seconds) * 1000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
               sizeof milliseconds);
}
static bool StartSockets() {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
using SocketHandle = int;
static void CloseSocket(SocketHandle s) {
    close(s);
}
static bool SocketValid(SocketHandle s) {
    return s >= 0;
}
static void SetReceiveTimeout(SocketHandle s, int seconds) {
    timeval timeout = {seconds, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}
static bool StartSockets() {
    return true;
}
#endif

namespace {

constexpr size_t kChunkSize = 65536;

bool SendAll(SocketHandle s, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        int n =
            static_cast<int>(send(s, text.data() + sent, static_cast<int>(text.size() - sent), 0));
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Receives until data holds at least size bytes; false when the peer closes
// or the time-out passes first.
bool ReceiveUntil(SocketHandle s, std::string* data, size_t size) {
    char chunk[kChunkSize];
    while (data->size() < size) {
        int n = static_cast<int>(recv(s, chunk, static_cast<int>(sizeof chunk), 0));
        if (n <= 0) return false;
        data->append(chunk, static_cast<size_t>(n));
    }
    return true;
}

bool ReceiveHeaders(SocketHandle s, std::string* data, size_t* headerEnd) {
    char chunk[kChunkSize];
    for (;;) {
        size_t end = data->find("\r\n\r\n");
        if (end != std::string::npos) {
            *headerEnd = end + 4;
            return true;
        }
        int n = static_cast<int>(recv(s, chunk, static_cast<int>(sizeof chunk), 0));
        if (n <= 0) return false;
        data->append(chunk, static_cast<size_t>(n));
    }
}

// The Content-Length of a header block (name in any letter case); -1 when absent.
long ContentLength(const std::string& headers) {
    std::string lower = headers;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return -1;
    return std::strtol(headers.c_str() + at + std::strlen("\r\ncontent-length:"), nullptr, 10);
}

bool Exchange(SocketHandle s, const std::string& target, strHttpAnswer* answer) {
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (!SendAll(s, request)) return false;
    std::string data;
    size_t headerEnd = 0;
    if (!ReceiveHeaders(s, &data, &headerEnd)) return false;
    if (std::sscanf(data.c_str(), "HTTP/1.1 %d", &answer->status) != 1) return false;
    long length = ContentLength(data.substr(0, headerEnd));
    if (length < 0) return false;
    if (!ReceiveUntil(s, &data, headerEnd + static_cast<size_t>(length))) return false;
    answer->body = data.substr(headerEnd, static_cast<size_t>(length));
    return true;
}

}  // namespace

bool HttpGet(unsigned short port, const std::string& target, strHttpAnswer* answer,
             int timeoutSeconds) {
    *answer = strHttpAnswer();
    if (!StartSockets()) return false;
    SocketHandle s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (!SocketValid(s)) return false;
    SetReceiveTimeout(s, timeoutSeconds);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              Exchange(s, target, answer);
    CloseSocket(s);
    return ok;
}

std::string Query(const std::vector<std::pair<std::string, std::string>>& pairs) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string query;
    for (const auto& pair : pairs) {
        query += query.empty() ? "?" : "&";
        query += pair.first + "=";
        for (unsigned char c : pair.second) {
            if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
                query += static_cast<char>(c);
            } else {
                query += '%';
                query += kHex[c >> 4];
                query += kHex[c & 0xF];
            }
        }
    }
    return query;
}

// The test kit's platform half on Linux: BSD sockets, /proc and Debian's
// media types.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "Loopback.h"
#include "TestPlatform.h"

namespace {

constexpr std::uintptr_t kNoSocket = ~static_cast<std::uintptr_t>(0);

int Native(std::uintptr_t s) {
    return static_cast<int>(s);
}

// Not inherited by the programs the tests start.
std::uintptr_t OpenSocket() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return s < 0 ? kNoSocket : static_cast<std::uintptr_t>(s);
}

sockaddr_in Address(uint32_t host, unsigned short port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host);
    return address;
}

}  // namespace

LoopbackConnection::LoopbackConnection(unsigned short port) : socket(OpenSocket()) {
    if (socket == kNoSocket) return;
    sockaddr_in address = Address(INADDR_LOOPBACK, port);
    if (connect(Native(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Close();
    }
}

LoopbackConnection::~LoopbackConnection() {
    Close();
}

bool LoopbackConnection::Connected() const {
    return socket != kNoSocket;
}

bool LoopbackConnection::Send(const std::string& bytes) {
    if (socket == kNoSocket) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent =
            send(Native(socket), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

eReceive LoopbackConnection::Receive(std::string* data, int timeoutMs) {
    if (socket == kNoSocket) return eReceive::Closed;
    pollfd entry = {Native(socket), POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) return eReceive::TimedOut;
    char buffer[16384];
    const ssize_t received = recv(Native(socket), buffer, sizeof buffer, 0);
    if (received <= 0) return eReceive::Closed;
    data->append(buffer, static_cast<size_t>(received));
    return eReceive::Received;
}

void LoopbackConnection::Close() {
    if (socket == kNoSocket) return;
    close(Native(socket));
    socket = kNoSocket;
}

TcpListener::TcpListener(unsigned short wanted) : socket(OpenSocket()), bound(false), port(0) {
    if (socket == kNoSocket) return;
    sockaddr_in address = Address(INADDR_ANY, wanted);
    socklen_t length = sizeof address;
    bound = bind(Native(socket), reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(Native(socket), 1) == 0 &&
            getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (bound) port = ntohs(address.sin_port);
}

TcpListener::~TcpListener() {
    if (socket != kNoSocket) close(Native(socket));
}

long OpenDescriptors() {
    std::error_code error;
    long count = 0;
    for (std::filesystem::directory_iterator entry("/proc/self/fd", error), end;
         !error && entry != end; entry.increment(error)) {
        count++;
    }
    return error ? -1 : count;
}

std::string ShortFileName(const std::filesystem::path&) {
    return "";
}

std::string RegisteredType(const char* extension) {
    // Debian's media-types package, which the server reads.
    if (std::strcmp(extension, ".json") == 0) return "application/json";
    if (std::strcmp(extension, ".html") == 0) return "text/html";
    return "application/unknown";
}

bool RegisterTestType(const char*, const char*) {
    return false;
}

void UnregisterTestType(const char*) {}

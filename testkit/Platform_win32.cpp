// The test kit's platform half on Windows: Winsock, the registry's content
// types and the file system's short names.
#include <windows.h>
#include <winsock2.h>

#include <cstring>

#include "Loopback.h"
#include "TestPlatform.h"

namespace {

constexpr std::uintptr_t kNoSocket = ~static_cast<std::uintptr_t>(0);
const char kTestClasses[] = "Software\\Classes\\";
// A registered content type must be shorter than this to be used.
constexpr size_t kContentTypeSize = 32;

SOCKET Native(std::uintptr_t s) {
    return static_cast<SOCKET>(s);
}

// The socket layer, started once for the whole test program.
bool StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

std::uintptr_t OpenSocket() {
    if (!StartSockets()) return kNoSocket;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<std::uintptr_t>(s);
}

sockaddr_in Address(ULONG host, unsigned short port) {
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
        const int sent =
            send(Native(socket), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (sent <= 0) return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

eReceive LoopbackConnection::Receive(std::string* data, int timeoutMs) {
    if (socket == kNoSocket) return eReceive::Closed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(socket), &readable);
    timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) return eReceive::TimedOut;
    char buffer[16384];
    const int received = recv(Native(socket), buffer, sizeof buffer, 0);
    if (received <= 0) return eReceive::Closed;
    data->append(buffer, static_cast<size_t>(received));
    return eReceive::Received;
}

void LoopbackConnection::Close() {
    if (socket == kNoSocket) return;
    closesocket(Native(socket));
    socket = kNoSocket;
}

TcpListener::TcpListener(unsigned short wanted) : socket(OpenSocket()), bound(false), port(0) {
    if (socket == kNoSocket) return;
    sockaddr_in address = Address(INADDR_ANY, wanted);
    int length = sizeof address;
    bound = bind(Native(socket), reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(Native(socket), 1) == 0 &&
            getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (bound) port = ntohs(address.sin_port);
}

TcpListener::~TcpListener() {
    if (socket != kNoSocket) closesocket(Native(socket));
}

std::string RegisteredType(const char* extension) {
    char type[64];
    DWORD size = sizeof(type);
    if (RegGetValueA(HKEY_CLASSES_ROOT, extension, "Content Type", RRF_RT_REG_SZ, nullptr, type,
                     &size) != ERROR_SUCCESS ||
        std::strlen(type) >= kContentTypeSize) {
        return "application/unknown";
    }
    return type;
}

// The classes root itself where the test may write to it (Wine does not
// merge the user's classes into it); the user's classes otherwise.
bool RegisterTestType(const char* extension, const char* type) {
    DWORD size = static_cast<DWORD>(std::strlen(type) + 1);
    if (RegSetKeyValueA(HKEY_CLASSES_ROOT, extension, "Content Type", REG_SZ, type, size) ==
        ERROR_SUCCESS) {
        return true;
    }
    std::string key = std::string(kTestClasses) + extension;
    return RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Content Type", REG_SZ, type, size) ==
           ERROR_SUCCESS;
}

void UnregisterTestType(const char* extension) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, extension);
    std::string key = std::string(kTestClasses) + extension;
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

std::string ShortFileName(const std::filesystem::path& file) {
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(file.string().c_str(), shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath)) return "";
    std::string name = std::filesystem::path(shortPath).filename().string();
    return name == file.filename().string() ? "" : name;
}

long OpenDescriptors() {
    return -1;
}

// The test kit's platform half on Windows: Winsock, the registry's content
// types and the file system's short names.
#include <windows.h>
#include <winsock2.h>

#include <cstring>

#include "TestPlatform.h"
#include "TestSocket.h"

namespace {

const char kTestClasses[] = "Software\\Classes\\";
// A registered content type must be shorter than this to be used.
constexpr size_t kContentTypeSize = 32;

SOCKET Native(TestSocket s) {
    return static_cast<SOCKET>(s);
}

sockaddr_in Address(ULONG host, unsigned short port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host);
    return address;
}

}  // namespace

TestSocket OpenTestSocket() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) return kNoTestSocket;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return s == INVALID_SOCKET ? kNoTestSocket : static_cast<TestSocket>(s);
}

bool ConnectLoopback(TestSocket s, unsigned short port) {
    sockaddr_in address = Address(INADDR_LOOPBACK, port);
    return connect(Native(s), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool BindAndListen(TestSocket s, unsigned short wanted, unsigned short* bound) {
    sockaddr_in address = Address(INADDR_ANY, wanted);
    int length = sizeof address;
    if (bind(Native(s), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(Native(s), 1) != 0 ||
        getsockname(Native(s), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    *bound = ntohs(address.sin_port);
    return true;
}

long SendSome(TestSocket s, const char* data, size_t length) {
    return send(Native(s), data, static_cast<int>(length), 0);
}

bool WaitReadable(TestSocket s, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(s), &readable);
    timeval timeout = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

long ReceiveSome(TestSocket s, char* buffer, size_t size) {
    return recv(Native(s), buffer, static_cast<int>(size), 0);
}

void CloseTestSocket(TestSocket s) {
    closesocket(Native(s));
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

long long HeapInUse() {
    return -1;
}

long long ThreadAllocations() {
    return -1;
}

long long ThreadWaits() {
    return -1;
}

// A Windows thread starts with its process's processors, whatever the
// thread that started it was confined to.
bool PinToOneProcessor() {
    return false;
}

void UnpinProcessor() {}

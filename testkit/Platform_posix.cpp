// The test kit's platform half on Linux: BSD sockets, /proc and Debian's
// media types.
#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "TestPlatform.h"
#include "TestSocket.h"

namespace {

int Native(TestSocket s) {
    return static_cast<int>(s);
}

sockaddr_in Address(uint32_t host, unsigned short port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host);
    return address;
}

}  // namespace

TestSocket OpenTestSocket() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return s < 0 ? kNoTestSocket : static_cast<TestSocket>(s);
}

bool ConnectLoopback(TestSocket s, unsigned short port) {
    sockaddr_in address = Address(INADDR_LOOPBACK, port);
    return connect(Native(s), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool BindAndListen(TestSocket s, unsigned short wanted, unsigned short* bound) {
    sockaddr_in address = Address(INADDR_ANY, wanted);
    socklen_t length = sizeof address;
    if (bind(Native(s), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(Native(s), 1) != 0 ||
        getsockname(Native(s), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    *bound = ntohs(address.sin_port);
    return true;
}

long SendSome(TestSocket s, const char* data, size_t length) {
    return static_cast<long>(send(Native(s), data, length, MSG_NOSIGNAL));
}

bool WaitReadable(TestSocket s, int milliseconds) {
    pollfd entry = {Native(s), POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

long ReceiveSome(TestSocket s, char* buffer, size_t size) {
    return static_cast<long>(recv(Native(s), buffer, size, 0));
}

void CloseTestSocket(TestSocket s) {
    close(Native(s));
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

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's runtime has it; GCC ships no header that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();

// The sanitizer's allocator stands in for glibc's, whose figures stay still.
long long HeapInUse() {
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
}

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

thread_local long long threadAllocations = 0;

void CountAllocation(const volatile void* /*block*/, size_t /*size*/) {
    threadAllocations++;
}

// The sanitizer takes the hooks only in pairs.
void IgnoreRelease(const volatile void* /*block*/) {}

}  // namespace

// The hooks go in with the first question.
long long ThreadAllocations() {
    static const bool hooked =
        __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreRelease) != 0;
    return hooked ? threadAllocations : -1;
}
#else
// Small blocks in the arenas and large ones mapped apart.
long long HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

long long ThreadAllocations() {
    return -1;
}
#endif

// Each thread's voluntary context switches, from /proc/self/task/*/status.
long long ThreadWaits() {
    std::error_code error;
    long long count = 0;
    for (std::filesystem::directory_iterator task("/proc/self/task", error), end;
         !error && task != end; task.increment(error)) {
        std::ifstream status(task->path() / "status");
        std::string line;
        const std::string key = "voluntary_ctxt_switches:";
        while (std::getline(status, line)) {
            if (line.compare(0, key.size(), key) == 0) count += std::stoll(line.substr(key.size()));
        }
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

namespace {
cpu_set_t processorsBeforePin;
}  // namespace

// New threads inherit the affinity of the thread that starts them.
bool PinToOneProcessor() {
    if (sched_getaffinity(0, sizeof processorsBeforePin, &processorsBeforePin) != 0) return false;
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &processorsBeforePin)) first++;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    return first < CPU_SETSIZE && sched_setaffinity(0, sizeof one, &one) == 0;
}

void UnpinProcessor() {
    sched_setaffinity(0, sizeof processorsBeforePin, &processorsBeforePin);
}

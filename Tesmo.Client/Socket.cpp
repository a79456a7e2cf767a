#include "Socket.h"

#include <chrono>

namespace tesmo {

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

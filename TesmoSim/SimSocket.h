// The few socket operations the simulator needs, over BSD sockets on Linux
// and Winsock on Windows (one implementation file per platform). Sockets are
// blocking IPv4 TCP sockets; every function reports failure through its
// result rather than errno-style state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tesmosim {

using SimSocket = std::intptr_t;
constexpr SimSocket kNoSocket = -1;

// Starts and stops the platform's socket layer (reference counted on Windows).
bool SimSocketsStart();
void SimSocketsStop();

// Binds and listens on address:port (port 0 picks one). Stores the bound port
// in *boundPort. kNoSocket when the address does not resolve or cannot be bound.
SimSocket SimListen(const char* address, int port, int* boundPort);

// Accepts a pending connection; kNoSocket on error. The accepted socket
// sends without Nagle delays. *peer receives "address:port" of the other side.
SimSocket SimAccept(SimSocket listener, std::string* peer);

// Waits up to timeoutMs until s can be read (or accepted from): 1 when it
// can, 0 on time-out, -1 on error.
int SimWaitReadable(SimSocket s, int timeoutMs);

// One receive call: the number of bytes received, 0 when the peer closed,
// below 0 on error.
long SimReceiveSome(SimSocket s, void* data, std::size_t size);

// Sends all size bytes; false when the connection broke.
bool SimSendAll(SimSocket s, const void* data, std::size_t size);

// How often a waiting thread looks at its stop flag. Blocked receives are
// not relied on to wake when another thread shuts the socket down (Wine's
// sockets do not), so every wait is cut into slices of this length.
constexpr int kSimStopPollMs = 100;

// Receives exactly size bytes; false when the peer closed first, on error,
// or once *stopping is set.
bool SimReceiveAll(SimSocket s, void* data, std::size_t size, const std::atomic<bool>& stopping);

// Reads and discards until the peer closes or *stopping is set.
void SimDrain(SimSocket s, const std::atomic<bool>& stopping);

// Ends both directions, waking a thread blocked in a receive on s.
void SimShutdown(SimSocket s);

void SimClose(SimSocket s);

}  // namespace tesmosim

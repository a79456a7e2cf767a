// The few socket operations the client needs, over BSD sockets or Winsock.
// Every operation that waits ends by a deadline that the caller sets once for
// a whole step (connecting, or one exchange), so a silent server, a server
// that trickles its reply or a resolver that hangs never holds a caller for
// longer than the client allows.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace tesmo {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

using Deadline = std::chrono::steady_clock::time_point;

// The moment timeoutMs milliseconds from now.
Deadline DeadlineAfter(int timeoutMs);
// Whole milliseconds left until deadline, or until the moment every wait is
// abandoned if that comes first; 0 once it has passed.
int MillisecondsLeft(Deadline deadline);
// From moment on every wait of the process ends at once; a wait already
// running looks at the moment at least every kAbandonCheckMilliseconds.
void AbandonWaitsAt(Deadline moment);
constexpr int kAbandonCheckMilliseconds = 100;

// Starts and stops the platform's socket layer (Winsock 2.2; nothing on POSIX).
bool SocketLayerStart();
void SocketLayerStop();

// A blocking look-up of the IPv4 address of a host name, in network byte
// order; false when the name does not resolve.
using HostLookup = bool (*)(const char* host, std::uint32_t* address);
// The system's resolver.
bool SystemLookup(const char* host, std::uint32_t* address);

// The IPv4 address of host, in network byte order. A dotted address is read
// as it stands, without the resolver. A name is looked up on a thread of its
// own while the caller waits until deadline at most; a look-up still running
// then finishes in the background and its answer is dropped.
bool ResolveHost(const char* host, Deadline deadline, std::uint32_t* address,
                 HostLookup lookup = SystemLookup);

// Resolves host, connects to port by deadline and returns the connected
// socket, or kNoSocket on any failure.
SocketHandle SocketConnect(const char* host, std::uint16_t port, Deadline deadline);
void SocketClose(SocketHandle socket);

// Sends the whole message with one send call by deadline; false unless all
// of it went.
bool SocketSend(SocketHandle socket, const void* data, std::size_t length, Deadline deadline);

// Receives exactly length bytes by deadline. False when the peer closes, on
// an error or when the time runs out.
bool SocketReceive(SocketHandle socket, void* data, std::size_t length, Deadline deadline);

}  // namespace tesmo

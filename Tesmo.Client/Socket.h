// The few socket operations the client needs, over BSD sockets or Winsock.
// Every operation that waits has a time-out, so a silent server never holds
// a caller for longer than the client allows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesmo {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Starts and stops the platform's socket layer (Winsock 2.2; nothing on POSIX).
bool SocketLayerStart();
void SocketLayerStop();

// Resolves host (a name or a dotted IPv4 address), connects to port within
// timeoutMs and returns the connected socket, or kNoSocket on any failure.
SocketHandle SocketConnect(const char* host, std::uint16_t port, int timeoutMs);
void SocketClose(SocketHandle socket);

// Sends the whole message with one send call; false unless all of it went.
bool SocketSend(SocketHandle socket, const void* data, std::size_t length);

// Receives exactly length bytes, all within timeoutMs. False when the peer
// closes, on an error or when the time runs out.
bool SocketReceive(SocketHandle socket, void* data, std::size_t length, int timeoutMs);

// Platform primitives under SocketReceive: wait up to timeoutMs for bytes to
// read (1 ready, 0 time-out, -1 error), and receive what is there (the count,
// 0 when the peer closed, -1 on error).
int SocketWaitReadable(SocketHandle socket, int timeoutMs);
long SocketReceiveSome(SocketHandle socket, void* data, std::size_t length);

}  // namespace tesmo

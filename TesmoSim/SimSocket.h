// The few socket operations the simulator needs, over BSD sockets on Linux
// and Winsock on Windows (one implementation file per platform). Sockets are
// blocking IPv4 TCP sockets; every function reports failure through its
// result rather than errno-style state.
#ifndef TESMO_SIM_SIMSOCKET_H
#define TESMO_SIM_SIMSOCKET_H

#include <cstddef>
#include <cstdint>
#include <string>

using SimSocket = std::intptr_t;
constexpr SimSocket kNoSocket = -1;

// Starts and stops the platform's socket layer (reference counted on Windows).
bool SimSocketsStart();
void SimSocketsStop();

// Binds and listens on address:port (port 0 picks one). Stores the bound port
// in *boundPort. kNoSocket when the address does not resolve or cannot be bound.
SimSocket SimListen(const char* address, int port, int* boundPort);

// Waits up to timeoutMs for a connection and accepts it; kNoSocket when none
// came or on error. The accepted socket sends without Nagle delays. *peer
// receives "address:port" of the other side.
SimSocket SimAccept(SimSocket listener, int timeoutMs, std::string* peer);

// Sends all size bytes; false when the connection broke.
bool SimSendAll(SimSocket s, const void* data, std::size_t size);

// Receives exactly size bytes; false when the peer closed first or on error.
bool SimReceiveAll(SimSocket s, void* data, std::size_t size);

// Reads and discards until the peer closes or the socket is shut down.
void SimDrain(SimSocket s);

// Ends both directions, waking a thread blocked in a receive on s.
void SimShutdown(SimSocket s);

void SimClose(SimSocket s);

#endif  // TESMO_SIM_SIMSOCKET_H

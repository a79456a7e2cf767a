// The platform's socket headers and the few names and primitives that differ
// between BSD sockets and Winsock, so that SimSocket.cpp builds unchanged on
// both. Private to the simulator; SimSocket_posix.cpp and SimSocket_win32.cpp
// implement the functions declared here.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include <cstddef>

#include "SimSocket.h"

namespace tesmosim {

#if defined(_WIN32)
using SimNativeSocket = SOCKET;
using SimAddressLength = int;
constexpr SimNativeSocket kSimNativeNone = INVALID_SOCKET;
constexpr int kSimShutdownBoth = SD_BOTH;
// No other process may take over the port while the simulator listens.
constexpr int kSimListenAddressOption = SO_EXCLUSIVEADDRUSE;
#else
using SimNativeSocket = int;
using SimAddressLength = socklen_t;
constexpr SimNativeSocket kSimNativeNone = -1;
constexpr int kSimShutdownBoth = SHUT_RDWR;
// A restarted simulator can take its port back at once.
constexpr int kSimListenAddressOption = SO_REUSEADDR;
#endif

inline SimNativeSocket SimNative(SimSocket s) {
    return static_cast<SimNativeSocket>(s);
}

// The IPv4 socket address of address (a dotted address or a host name) and
// port; false when the address does not resolve.
bool SimSocketAddress(const char* address, int port, sockaddr_in* out);

// Turns on the boolean socket option name at level on s.
void SimSwitchOn(SimNativeSocket s, int level, int name);

// One send call of at most size bytes: the number of bytes sent, 0 or below
// when the connection broke.
long SimSendSome(SimSocket s, const void* data, std::size_t size);

}  // namespace tesmosim

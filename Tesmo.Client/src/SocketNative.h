// The platform's socket headers and the primitives that differ between BSD
// sockets and Winsock, so that Socket.cpp builds unchanged on both. Private
// to the library; Socket_posix.cpp and Socket_win32.cpp implement it.
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

#include "Socket.h"

namespace tesmo {

// A new IPv4 TCP socket (not inherited by child processes where the platform
// allows it), or kNoSocket.
SocketHandle SocketOpenStream();

// Connects socket to address, waiting at most timeoutMs for the result, and
// leaves it blocking.
bool SocketConnectWithin(SocketHandle socket, const sockaddr_in& address, int timeoutMs);

// Sends each write at once instead of holding it back for more.
void SocketSetNoDelay(SocketHandle socket);

// Makes a send that cannot hand its bytes over within timeoutMs fail.
void SocketSetSendTimeout(SocketHandle socket, int timeoutMs);

// One send call; the number of bytes sent, or -1 on error.
long SocketSendSome(SocketHandle socket, const void* data, std::size_t length);

// Waits up to timeoutMs for bytes to read: 1 ready, 0 time-out, -1 error.
int SocketWaitReadable(SocketHandle socket, int timeoutMs);

// Receives what is there: the count, 0 when the peer closed, -1 on error.
long SocketReceiveSome(SocketHandle socket, void* data, std::size_t length);

}  // namespace tesmo

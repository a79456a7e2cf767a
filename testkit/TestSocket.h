// The test kit's socket vocabulary, the same names on every platform; each
// has one implementation per platform (Platform_posix.cpp,
// Platform_win32.cpp). Everything else of the kit is portable.
#pragma once

#include <cstddef>
#include <cstdint>

using TestSocket = std::uintptr_t;
constexpr TestSocket kNoTestSocket = ~static_cast<TestSocket>(0);

// A TCP socket (the socket layer starts with the first one, for good), not
// inherited by the programs a test starts where the platform allows;
// kNoTestSocket on failure.
TestSocket OpenTestSocket();
bool ConnectLoopback(TestSocket s, unsigned short port);
// Binds every local IPv4 address at wanted (0: any port) and listens;
// *bound is the port bound.
bool BindAndListen(TestSocket s, unsigned short wanted, unsigned short* bound);
// Bytes sent (> 0), or <= 0 when the connection failed.
long SendSome(TestSocket s, const char* data, size_t length);
// True when bytes or the end of the stream wait within milliseconds.
bool WaitReadable(TestSocket s, int milliseconds);
// Bytes received (> 0), 0 when the peer closed, < 0 on error.
long ReceiveSome(TestSocket s, char* buffer, size_t size);
void CloseTestSocket(TestSocket s);

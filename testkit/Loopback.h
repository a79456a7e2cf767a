// Plain TCP for tests, the same on every platform: a client connection to
// 127.0.0.1 and a listening socket that holds a port. The sockets block;
// waits are in milliseconds. On Windows the socket layer starts with the
// first socket and stays up until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class eReceive { Received, TimedOut, Closed };

// One connection to 127.0.0.1:port, closed when destroyed.
class LoopbackConnection {
  public:
    explicit LoopbackConnection(unsigned short port);
    ~LoopbackConnection();
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;

    // False when the connection could not be made, or after Close.
    bool Connected() const;
    // Sends every byte; false when the connection failed on the way.
    bool Send(const std::string& bytes);
    // Waits at most timeoutMs for bytes and appends what one receive brings
    // to *data. Closed also stands for a failed or never-made connection.
    eReceive Receive(std::string* data, int timeoutMs);
    void Close();

  private:
    std::uintptr_t socket;  // a TestSocket; kNoTestSocket when closed
};

// A socket listening on every local IPv4 address at wanted (0: a port the
// system picks); it holds the port until destroyed.
class TcpListener {
  public:
    explicit TcpListener(unsigned short wanted = 0);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // False when the port could not be had.
    bool Bound() const { return bound; }
    unsigned short Port() const { return port; }

  private:
    std::uintptr_t socket;  // a TestSocket; kNoTestSocket when none was had
    bool bound;
    unsigned short port;
};

// A port that was free a moment ago (a failure is recorded when none was).
unsigned short FreePort();

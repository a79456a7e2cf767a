// A scripted stand-in for the Tesmo server: listens on 127.0.0.1 at a port the
// system picks, accepts one connection and plays a script of exact bytes, so
// that tests control every byte the client receives and see every byte it sends.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeServer {
  public:
    FakeServer();
    ~FakeServer();

    std::uint16_t Port() const { return port_; }

    // Script steps, played in order once a client connects: read a request of
    // exactly requestSize bytes, then answer it.
    void Reply(std::size_t requestSize, const std::string& reply);
    // Read the request, then send the reply one byte every gapMs milliseconds.
    void Trickle(std::size_t requestSize, const std::string& reply, int gapMs);
    // Read the request and never answer it.
    void Stall(std::size_t requestSize);
    // Read the request and close the connection.
    void Close(std::size_t requestSize);

    // Starts playing the script (steps may not be added afterwards).
    void Start();

    // Waits for the script to end and the client to close the connection;
    // false when the client is still connected after timeoutMs.
    bool WaitClientClosed(int timeoutMs);
    // True when a client connected at all within timeoutMs.
    bool WaitAccepted(int timeoutMs);

    // The requests read so far, one string per step.
    std::vector<std::string> Requests();
    // Bytes the client sent after the script had ended.
    std::string Extra();

  private:
    enum class eAction { Reply, Trickle, Stall, Close };
    struct strStep {
        std::size_t requestSize;
        eAction action;
        std::string reply;
        int gapMs;
    };

    void Run();
    bool Play(std::intptr_t connection);
    void DrainUntilClosed(std::intptr_t connection);
    bool ReadExactly(std::intptr_t connection, std::size_t size, std::string* out);
    bool WaitReadable(std::intptr_t s);
    bool Send(std::intptr_t connection, const char* data, std::size_t size);
    bool SendTrickling(std::intptr_t connection, const std::string& reply, int gapMs);

    std::intptr_t listener_;
    std::uint16_t port_ = 0;
    std::vector<strStep> script_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool accepted_ = false;
    bool closed_ = false;
    std::vector<std::string> requests_;
    std::string extra_;
};

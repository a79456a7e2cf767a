// The simulated server behind TesmoSim: a listener thread that accepts
// connections and one thread per connection that logs the client in and
// answers its exchanges until it leaves, with faults applied as configured.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Faults.h"
#include "Plant.h"
#include "Replies.h"
#include "Requests.h"
#include "SimSocket.h"
#include "TesmoSim.h"

namespace tesmosim {

class SimNoise;

class TesmoSimServer {
  public:
    TesmoSimServer() = default;
    ~TesmoSimServer();
    TesmoSimServer(const TesmoSimServer&) = delete;
    TesmoSimServer& operator=(const TesmoSimServer&) = delete;

    // False when running, when a fault spec is malformed or when the
    // address cannot be bound.
    bool Start(const strTesmoSimOptions& options);
    void Stop();

    int Port() const { return port; }
    int CatalogueSize() const;
    FaultSet& Faults() { return faults; }
    strSimCounts Counts() const;
    void ResetCounts();
    void DropConnections();

  private:
    struct strConnection {
        int number = 0;
        SimSocket socket = kNoSocket;
        std::string peer;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    // What one connection thread keeps between exchanges.
    struct strSession {
        strConnection* connection;
        SimNoise* noise;  // fills what a client does not read; null without noise
        Bytes reply;
        std::vector<strSample> samples;
        std::vector<float> values;
        char what[128];  // the exchange being answered, for the verbose log
    };

    void ListenLoop();
    void ReapFinished();
    void Serve(strConnection* connection);
    bool Login(strSession* session);
    bool Exchange(strSession* session);
    bool Answer(strSession* session, const strRequestRule& rule, std::uint16_t machine,
                tesmo::ByteView payload);
    bool Deliver(strSession* session, eExchange exchange, const Bytes& message);
    bool Trickle(SimSocket socket, const Bytes& message, int gapMs);
    // SimSendAll that counts the bytes it sent.
    bool Send(SimSocket socket, const void* data, std::size_t size);
    // Accepts the connection unless maxConnections are open already.
    bool Admit(SimSocket socket, const std::string& peer);
    // Sleeps up to ms milliseconds; true when the server is stopping.
    bool WaitStopping(int ms);
    strSimContext Context() const;
    void Log(const strConnection* connection, const char* format, ...);
    // Names the exchange being answered (formatted only in verbose mode).
    void Describe(strSession* session, const char* format, ...);

    strTesmoSimOptions options;
    strSimPlant plant;
    Bytes catalogue;  // whole messages, encoded once per Start
    Bytes kinds;
    std::int32_t stamp = 0;
    FaultSet faults;

    SimSocket listener = kNoSocket;
    int port = 0;
    bool running = false;
    bool socketsStarted = false;
    std::thread listenThread;
    std::atomic<bool> stopping{false};
    std::mutex stopLock;
    std::condition_variable stopSignal;

    std::mutex connectionsLock;
    std::list<std::unique_ptr<strConnection>> connections;
    int connectionCount = 0;
    std::mutex logLock;

    // The counts of strSimCounts, updated by every connection thread.
    std::atomic<std::uint64_t> accepted{0};
    std::atomic<std::uint64_t> refused{0};
    std::atomic<std::uint64_t> open{0};
    std::atomic<std::uint64_t> logins{0};
    std::atomic<std::uint64_t> exchanges[kExchangeKinds] = {};
    std::atomic<std::uint64_t> bytesSent{0};
};

}  // namespace tesmosim

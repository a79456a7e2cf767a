// TesmoSim: an in-process stand-in for the Tesmo monitoring server.
//
// It listens on a TCP port, accepts the login of one configured user and
// answers the catalogue, values, trend and analysis exchanges of the Tesmo
// binary protocol from a simulated plant. Values derive deterministically
// from the clock and a seed, so tests can pin "now" and know every answer.
// One thread serves each connection; the plant and its catalogue reply are
// built once in Start and shared read-only by every connection.
//
// It is as strict as a server can be with its clients: a request that is not
// exactly what a client sends (an unknown command, a reserved field that is
// not 0, a machine field on a request that names none, a payload length that
// is not the command's, a trend sub-index or an analysis flag no client
// sends) ends the connection unanswered, with the reason in the verbose log.
// With noise on, every byte of a reply that a client does not read is filled
// with pseudo-random values instead of zeros.
//
// With a protocol version below 200 the catalogue still carries the DIGITAL
// records and the values reply their entries (old servers send them; the
// client steps over them), there is no stamp, no diagnostic kinds and no
// unmapped trend: those requests, like any request the server does not
// know, end the connection.
//
// Faults can be injected per exchange to test how clients cope with a
// server that stalls, drops the connection, cuts or garbles its replies,
// answers late or trickles them. The program tesmo-sim is a thin command
// line around this class. What the plants hold is in PlantFacts.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tesmosim {

// The exchanges of the protocol, in the order a client meets them.
enum class eSimExchange { Login, Stamp, Catalogue, Kinds, Values, Trend, Analysis };
constexpr int kExchangeKinds = 7;

// Which simulated plant the server answers for.
enum class eSimPlant {
    Demo,   // the demonstration plant (demo in PlantFacts.h)
    Large,  // many machines; its catalogue reply lies just under the reply bound
    Empty,  // no groups and no machines
    Edge,   // awkward texts and values, the largest analysis (edge in PlantFacts.h)
};

// Everything Start needs. The defaults suit tests: port 0 lets the system
// pick a free port (read it back with GetPort).
struct strTesmoSimOptions {
    int port = 0;                       // TCP port; 0 picks a free one
    std::string bind = "127.0.0.1";     // IPv4 address or host name to listen on
    int version = 200;                  // protocol version announced at login
    std::string user = "demo";          // the one user name accepted at login
    std::string password = "demo";      // and its password
    eSimPlant plant = eSimPlant::Demo;  // which plant to simulate
    uint32_t seed = 1;                  // varies noise, phases and the catalogue stamp
    std::vector<std::string> faults;    // fault specs, as AddFault takes them
    bool verbose = false;               // one line per connection and exchange on stdout
    bool noise = false;                 // pseudo-random bytes wherever a client reads nothing
    int32_t now = 0;                    // fixed clock in UTC seconds; 0 follows the real clock
    int trendPeriod = 600;              // seconds between stored trend samples
    int latencyMs = 0;                  // every reply (login included) this much late
    int maxConnections = 0;             // connections served at once; 0: no limit
};

// What a running server has done since Start or ResetCounts, counted over all
// connections: a test's measure of the load a client puts on the server.
struct strSimCounts {
    std::uint64_t connections = 0;                 // accepted and served
    std::uint64_t refused = 0;                     // closed at once, beyond maxConnections
    std::uint64_t open = 0;                        // served right now (not reset)
    std::uint64_t logins = 0;                      // accepted logins
    std::uint64_t exchanges[kExchangeKinds] = {};  // requests answered, by eSimExchange
    std::uint64_t bytesSent = 0;                   // reply bytes sent, logins included

    std::uint64_t Exchanges(eSimExchange kind) const { return exchanges[static_cast<int>(kind)]; }
    // Every exchange but the logins.
    std::uint64_t Requests() const;
};

class TesmoSimServer;

// Owns one running simulated server. Not copyable. Stop (or destruction)
// closes the listening socket and every open connection and waits for all
// threads to end.
class TesmoSim {
  public:
    TesmoSim();
    ~TesmoSim();
    TesmoSim(const TesmoSim&) = delete;
    TesmoSim& operator=(const TesmoSim&) = delete;

    // Builds the plant, applies the options' faults and starts listening.
    // False when already running, when a fault spec is malformed, or when
    // the address cannot be bound.
    bool Start(const strTesmoSimOptions& options);

    // The port actually listened on (the picked one when options.port was 0);
    // 0 when not running.
    int GetPort() const;

    // Stops listening, ends every connection and joins all threads.
    // Harmless when not running.
    void Stop();

    // Adds a fault, before or while running: "EXCHANGE:KIND[:EVERY]" with
    //   EXCHANGE  login, stamp, catalogue, kinds, values, trend or analysis
    //   KIND      stall     never answer (the connection stays open, silent)
    //             close     drop the connection instead of answering
    //             short     send part of the reply, then drop the connection
    //             badlength announce a payload length outside the client's
    //                       bounds (login: a reply that is not LoginAccepted)
    //             slow=MS   answer normally after MS milliseconds
    //             trickle=MS send the reply one byte at a time, one every
    //                       MS milliseconds
    //   EVERY     hit only every Nth exchange of that kind (default 1: all),
    //             counted over all connections
    // False (and nothing added) when the text is malformed. Faults stay until
    // ClearFaults, across Stop and Start; each Start adds the options' faults.
    bool AddFault(const char* spec);

    // Removes every fault.
    void ClearFaults();

    // The size in bytes of the catalogue reply payload (0 when not running).
    int GetCatalogueSize() const;

    // What the server has done since Start or ResetCounts.
    strSimCounts GetCounts() const;
    // Zeroes every count but the connections open now.
    void ResetCounts();
    // Ends every open connection, as a server does that drops its idle
    // sessions; keeps listening.
    void DropConnections();

  private:
    std::unique_ptr<TesmoSimServer> server;
};

}  // namespace tesmosim

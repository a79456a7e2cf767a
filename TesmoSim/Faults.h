// Fault injection: which exchanges misbehave, how, and how often. The set is
// shared by every connection of a server; counting is thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "TesmoSim.h"

namespace tesmosim {

using eExchange = eSimExchange;

enum class eFaultKind {
    None,       // answer normally
    Stall,      // never answer
    Close,      // drop the connection instead of answering
    Short,      // send part of the reply and drop the connection
    BadLength,  // announce a length outside the client's bounds
    Slow,       // answer after a delay
    Trickle,    // send the reply one byte at a time, each after a delay
};

struct strFaultSpec {
    eExchange exchange = eExchange::Login;
    eFaultKind kind = eFaultKind::None;
    int delayMs = 0;  // for Slow: before the reply; for Trickle: before each byte
    int every = 1;    // hit every Nth exchange of its kind
};

// Parses "EXCHANGE:KIND[:EVERY]"; false when malformed.
bool ParseFault(const char* text, strFaultSpec* spec);

// What to do at one exchange.
struct strFaultAction {
    eFaultKind kind = eFaultKind::None;
    int delayMs = 0;
};

class FaultSet {
  public:
    void Add(const strFaultSpec& spec);
    void Clear();
    // Counts one exchange of the given kind for every fault on it and
    // returns the first fault that hits, or None.
    strFaultAction Next(eExchange exchange);

  private:
    struct strEntry {
        strFaultSpec spec;
        std::uint64_t seen;
    };
    std::mutex lock;
    std::vector<strEntry> entries;
};

}  // namespace tesmosim

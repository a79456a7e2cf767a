// Small helpers shared by the simulator's own tests.
#pragma once

#include <cstdint>
#include <string>

#include "Plant.h"
#include "PlantFacts.h"
#include "Replies.h"
#include "Signals.h"
#include "TesmoProtocol.h"

namespace tesmosim {

// A fixed "now" for deterministic answers: 2025-12-06T06:13:20Z.
constexpr std::int64_t kTestNow = 1765001600;

inline strSimContext TestContext(std::uint32_t seed = 1, std::int64_t now = kTestNow) {
    strSimContext context;
    context.seed = seed;
    context.now = now;
    context.trendPeriod = 600;
    context.historySeconds = demo::kHistorySeconds;
    context.analysisPeriod = demo::kAnalysisPeriod;
    return context;
}

// The payload length a message's header announces.
inline std::uint32_t AnnouncedLength(const Bytes& message) {
    return tesmo::LoadU32(message.data() + tesmo::kHeaderLengthOffset);
}

inline const unsigned char* Payload(const Bytes& message) {
    return message.data() + tesmo::kHeaderSize;
}

// Position of the named machine in the plant, or -1.
inline int MachinePosition(const strSimPlant& plant, const std::string& name) {
    for (std::size_t m = 0; m < plant.machines.size(); ++m)
        if (plant.machines[m].name == name) return static_cast<int>(m);
    return -1;
}

}  // namespace tesmosim

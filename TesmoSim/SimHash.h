// Deterministic pseudo-random numbers from a few integers: the same inputs
// always give the same number, so every simulated value can be recomputed
// from (seed, variable, time) without keeping any state.
#pragma once

#include <cstdint>

namespace tesmosim {

// The SplitMix64 finaliser: spreads every input bit over the whole result.
inline std::uint64_t Mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

inline std::uint64_t Hash3(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    return Mix64(Mix64(Mix64(a) ^ b) ^ c);
}

// A number in [-1, 1] for the three inputs.
inline double Noise(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
    const double scale = 1.0 / 9007199254740992.0;  // 2^-53
    return static_cast<double>(Hash3(a, b, c) >> 11) * scale * 2.0 - 1.0;
}

}  // namespace tesmosim

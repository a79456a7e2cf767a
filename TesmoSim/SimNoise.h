// Pseudo-random bytes for the parts of replies that a client does not read
// (reserved and unread fields, the rest of a text field after its NUL, unused
// flag bits, records it steps over), so that a client that reads them anyway
// or counts on them being zero is caught. The same seed gives the same bytes.
// One object serves one thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SimHash.h"
#include "TesmoProtocol.h"

namespace tesmosim {

class SimNoise {
  public:
    // version: the protocol version the client speaks; below 200 it steps
    // over the DIGITAL records and values, so they are noise as a whole.
    SimNoise(std::uint64_t start, int version)
        : seed(start), readsDigital(version >= tesmo::kCurrentProtocolVersion) {}

    bool ReadsDigital() const { return readsDigital; }

    std::uint8_t Byte() {
        if (left == 0) {
            bits = Mix64(seed ^ Mix64(++count));
            left = sizeof bits;
        }
        --left;
        std::uint8_t byte = static_cast<std::uint8_t>(bits);
        bits >>= 8;
        return byte;
    }

    void Fill(unsigned char* at, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) at[i] = Byte();
    }

  private:
    std::uint64_t seed;
    bool readsDigital;
    std::uint64_t count = 0;
    std::uint64_t bits = 0;
    std::size_t left = 0;
};

}  // namespace tesmosim

// The large plant's catalogue and diagnostic kinds payloads as the simulator
// sends them, for the benchmarks of the client's catalogue load. Kept apart
// from the client's own headers: the simulator's encoders live in a
// translation unit of their own.
#pragma once

#include <vector>

struct strCatalogueMessages {
    std::vector<unsigned char> catalogue;  // payload, without the message header
    std::vector<unsigned char> kinds;      // payload, without the message header
};

strCatalogueMessages LargePlantMessages();

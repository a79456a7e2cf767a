// Building the record tree from the server's catalogue reply, refining the
// kinds of SPECIALICED variables from the diagnostic kinds reply, and
// releasing the tree again.
#pragma once

#include <cstdint>

#include "ByteView.h"
#include "TesmoClient.h"

namespace tesmo {

// The arrays a catalogue load produces; owned by whoever holds it.
struct strCatalogue {
    strGroup* groups = nullptr;
    std::int32_t countOfGroups = 0;
    strMachine* machines = nullptr;
    std::int32_t countOfMachines = 0;
};

// Parses a whole catalogue payload. On success fills out and returns true; on
// any malformed or truncated record releases what it built and returns false
// with out empty. currentProtocol: the server speaks version 200 or above.
bool ParseCatalogue(ByteView payload, bool currentProtocol, strCatalogue* out);

// Sets the type of each machine's SPECIALICED variables from the diagnostic
// kinds payload; entries beyond a machine's variables are stepped over and
// reading stops at the end of the payload.
void ApplySpecialKinds(ByteView payload, strMachine* machines, std::int32_t countOfMachines);

// Releases the machines' own arrays and the machine array itself.
void ReleaseMachines(strMachine* machines, std::int32_t countOfMachines);

// The text of a diagnostic kind code, or null for a code without one.
const char* SpecialKindText(std::int8_t code);

}  // namespace tesmo

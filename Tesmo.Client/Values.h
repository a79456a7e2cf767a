// Applying a current values reply to one machine of the catalogue.
#pragma once

#include <cstdint>

#include "ByteView.h"
#include "TesmoClient.h"

namespace tesmo {

// Number of bytes the values reply of machine must hold.
std::uint64_t ValuesLayoutSize(const strMachine& machine);

// Applies the reply to the machine, its variables and its analyses. A payload
// shorter than the machine's layout changes nothing and gives false.
bool ApplyValues(ByteView payload, bool currentProtocol, strMachine* machine);

}  // namespace tesmo

// Applying a current values reply to one machine of the catalogue, and
// reading the trend and analysis replies.
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

// Reads a trend reply, whose length must match its sample count exactly. On
// success *values holds *count samples (null when there are none), owned by
// the caller; on failure nothing is allocated.
bool ReadTrendReply(ByteView reply, strTimeValue** values, std::int32_t* count);

// Reads an analysis reply that is not the empty one; its length must match its
// value count exactly. On success *values holds data->count values (null when
// there are none), owned by the caller; on failure nothing is written.
bool ReadAnalisisReply(ByteView reply, strAnalisisData* data, float** values);

}  // namespace tesmo

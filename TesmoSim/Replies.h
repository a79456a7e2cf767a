// Encoding of every reply the simulator sends, header included, in the wire
// layouts the client reads. Each function writes one whole message into a
// caller's buffer (reused from reply to reply, so a connection allocates
// only while its buffer grows). The bytes a client does not read are zero,
// or with a noise source (last argument) its pseudo-random bytes; without
// noise the reply headers carry the request's command and machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Plant.h"
#include "Requests.h"
#include "Signals.h"

namespace tesmosim {

class SimNoise;

using Bytes = std::vector<unsigned char>;

// Command of the reply to a refused login: anything but LoginAccepted; this
// one lies between the login codes and is never sent by a client.
constexpr std::uint32_t kLoginRefused = 0x2AF52DEF;

// Most trend samples one reply can carry within the reply bound.
std::int64_t MaxTrendSamples();

// The login reply: LoginAccepted and the version, or the refusal.
void EncodeLogin(bool accepted, std::uint16_t version, Bytes* message, SimNoise* noise = nullptr);

void EncodeStamp(std::uint32_t command, std::int32_t stamp, Bytes* message,
                 SimNoise* noise = nullptr);

// The catalogue and the diagnostic kinds of the whole plant.
void EncodeCatalogue(const strSimPlant& plant, Bytes* message, SimNoise* noise = nullptr);
void EncodeSpecialKinds(const strSimPlant& plant, Bytes* message, SimNoise* noise = nullptr);

// A stamp that identifies the catalogue (and seed); never 0, which a fresh
// client holds.
std::int32_t StampOfCatalogue(const Bytes& catalogue, std::uint32_t seed);

// Payload size of a machine's values reply.
std::size_t ValuesPayloadSize(const strSimMachine& machine);

// Current values of one machine; a position outside the plant gets the
// machine byte alone, undefined.
void EncodeValues(const strSimContext& context, const strSimPlant& plant, std::uint16_t machine,
                  std::uint32_t command, Bytes* message, SimNoise* noise = nullptr);

// Samples of the addressed variable (none when there is no such variable).
// Mapped: thinned to maxItems; unmapped: raw, as many as fit.
void EncodeTrend(const strSimContext& context, const strSimPlant& plant, std::uint16_t machine,
                 const strTrendRequest& request, std::uint32_t command, bool mapped,
                 std::vector<strSample>* scratch, Bytes* message, SimNoise* noise = nullptr);

// The latest stored result in [from, to], or the empty reply.
void EncodeAnalysis(const strSimContext& context, const strSimPlant& plant, std::uint16_t machine,
                    const strAnalysisRequest& request, std::uint32_t command,
                    std::vector<float>* scratch, Bytes* message, SimNoise* noise = nullptr);

}  // namespace tesmosim

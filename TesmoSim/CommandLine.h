// The command line of the tesmo-sim program.
#pragma once

#include <cstdio>
#include <string>

#include "TesmoSim.h"

namespace tesmosim {

// The port the program listens on unless told otherwise.
constexpr int kProgramDefaultPort = 2500;

enum class eCommandLine { Run, Help, Error };

// Reads the arguments into *options (starting from the program's defaults).
// Error leaves a one-line reason in *error.
eCommandLine ParseCommandLine(int argc, const char* const* argv, strTesmoSimOptions* options,
                              std::string* error);

// The --help text.
const char* UsageText();

const char* PlantName(eSimPlant plant);

// One line of totals: connections, refused ones, logins, requests by
// exchange and bytes sent.
void PrintCounts(const strSimCounts& counts, FILE* out);

}  // namespace tesmosim

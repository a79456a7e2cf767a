// tesmo-sim: runs the simulated Tesmo server in the foreground until Ctrl-C
// or SIGTERM.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "CommandLine.h"
#include "TesmoSim.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}

}  // namespace

int main(int argc, char** argv) {
    tesmosim::strTesmoSimOptions options;
    std::string error;
    switch (tesmosim::ParseCommandLine(argc, argv, &options, &error)) {
        case tesmosim::eCommandLine::Help:
            std::fputs(tesmosim::UsageText(), stdout);
            return 0;
        case tesmosim::eCommandLine::Error:
            std::fprintf(stderr, "tesmo-sim: %s (see --help)\n", error.c_str());
            return 2;
        case tesmosim::eCommandLine::Run:
            break;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    tesmosim::TesmoSim simulator;
    if (!simulator.Start(options)) {
        std::fprintf(stderr, "tesmo-sim: cannot listen on %s:%d\n", options.bind.c_str(),
                     options.port);
        return 1;
    }
    std::printf("tesmo-sim listening on %s:%d (plant %s, protocol %d, catalogue %d bytes)\n",
                options.bind.c_str(), simulator.GetPort(), tesmosim::PlantName(options.plant),
                options.version, simulator.GetCatalogueSize());
    std::fflush(stdout);
    const auto kPoll = std::chrono::milliseconds(100);
    while (!stopRequested) std::this_thread::sleep_for(kPoll);
    const tesmosim::strSimCounts counts = simulator.GetCounts();
    simulator.Stop();
    tesmosim::PrintCounts(counts, stdout);
    std::printf("tesmo-sim stopped\n");
    return 0;
}

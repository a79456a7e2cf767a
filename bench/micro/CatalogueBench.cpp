// The client's catalogue load of the large plant (a catalogue reply within
// 14 bytes of the protocol's reply bound), the heaviest exchange of every
// data request: once as parsing alone, once as Load against the in-process
// simulator over loopback (the stamp, catalogue and kinds exchanges).
#include <benchmark/benchmark.h>

#include "Catalogue.h"
#include "CatalogueMessages.h"
#include "TesmoClient.h"
#include "TesmoSim.h"

namespace {

void BM_ParseLargeCatalogue(benchmark::State& state) {
    const strCatalogueMessages messages = LargePlantMessages();
    const tesmo::ByteView catalogue(messages.catalogue.data(), messages.catalogue.size());
    const tesmo::ByteView kinds(messages.kinds.data(), messages.kinds.size());
    int32_t machines = 0;
    for (auto _ : state) {
        tesmo::strCatalogue tree;
        if (!tesmo::ParseCatalogue(catalogue, true, &tree)) state.SkipWithError("not parsed");
        tesmo::ApplySpecialKinds(kinds, tree.machines, tree.countOfMachines);
        machines = tree.countOfMachines;
        state.PauseTiming();
        tesmo::ReleaseMachines(tree.machines, tree.countOfMachines);
        delete[] tree.groups;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(
        state.iterations() * (messages.catalogue.size() + messages.kinds.size())));
    state.counters["machines"] = machines;
}
BENCHMARK(BM_ParseLargeCatalogue)->Unit(benchmark::kMicrosecond);

void BM_LoadLargeCatalogueLoopback(benchmark::State& state) {
    tesmosim::TesmoSim sim;
    tesmosim::strTesmoSimOptions options;
    options.plant = tesmosim::eSimPlant::Large;
    if (!sim.Start(options)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    const unsigned short port = static_cast<unsigned short>(sim.GetPort());
    for (auto _ : state) {
        state.PauseTiming();
        // A fresh client holds no stamp, so Load downloads the catalogue.
        TesmoClient client;
        client.Init("demo", "demo", "127.0.0.1", port);
        if (!client.Connect()) state.SkipWithError("no login");
        state.ResumeTiming();
        if (!client.Load()) state.SkipWithError("no catalogue");
        state.PauseTiming();
        client.Disconnect();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sim.GetCatalogueSize()));
}
BENCHMARK(BM_LoadLargeCatalogueLoopback)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

// TesmoSim: the public face of the simulated server.
#include "TesmoSim.h"

#include "Server.h"

namespace tesmosim {

TesmoSim::TesmoSim() : server(new TesmoSimServer()) {}

TesmoSim::~TesmoSim() = default;

bool TesmoSim::Start(const strTesmoSimOptions& options) {
    return server->Start(options);
}

int TesmoSim::GetPort() const {
    return server->Port();
}

void TesmoSim::Stop() {
    server->Stop();
}

bool TesmoSim::AddFault(const char* spec) {
    strFaultSpec parsed;
    if (!ParseFault(spec, &parsed)) return false;
    server->Faults().Add(parsed);
    return true;
}

void TesmoSim::ClearFaults() {
    server->Faults().Clear();
}

int TesmoSim::GetCatalogueSize() const {
    return server->CatalogueSize();
}

strSimCounts TesmoSim::GetCounts() const {
    return server->Counts();
}

void TesmoSim::ResetCounts() {
    server->ResetCounts();
}

void TesmoSim::DropConnections() {
    server->DropConnections();
}

std::uint64_t strSimCounts::Requests() const {
    std::uint64_t total = 0;
    for (int i = static_cast<int>(eSimExchange::Stamp); i < kExchangeKinds; ++i)
        total += exchanges[i];
    return total;
}

}  // namespace tesmosim

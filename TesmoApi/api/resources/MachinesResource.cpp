// machines: the machines of every group, optionally only those of one group
// and/or one status, each with its status and its group.
#include <cstring>

#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"

namespace {

// Writes one machine object. The entry is filled from the first machine with
// that id, so two machines sharing an id give two identical entries.
void WriteMachineEntry(TesmoClient& client, strJsonOutput* output, const char* machineId,
                       bool first) {
    const strMachine* machine = FindMachine(client, machineId);
    if (machine == nullptr) return;
    JsonOpenObject(output, nullptr, first);
    JsonAddValue(output, "name", machine->name, eJsonType::String, true);
    JsonAddValue(output, "id", machineId, eJsonType::String, false);
    JsonAddValue(output, "status", GetMachineStatusText(client, machineId), eJsonType::String,
                 false);
    JsonAddValue(output, "group_id", GetMachineGroupId(client, machineId), eJsonType::String,
                 false);
    JsonAddValue(output, "group_name", machine->group->name, eJsonType::String, false);
    JsonCloseObject(output);
}

// An empty filter lets every machine through. A status without a word
// passes no status filter.
bool PassesFilters(const strMachine& machine, const char* groupId, const char* status) {
    if (status[0] != '\0') {
        const char* word = StatusText(machine.status);
        if (word == nullptr || std::strcmp(word, status) != 0) return false;
    }
    return groupId[0] == '\0' || IdEquals(machine.group->id, groupId);
}

}  // namespace

eRequestResult OnGetMachines(const char* parameters, strJsonOutput* output) {
    char groupId[kIdSize] = "";
    char status[kIdSize] = "";
    if (!ReadText(parameters, "group_id", groupId, kIdLimit)) groupId[0] = '\0';
    if (!ReadText(parameters, "status", status, kIdLimit)) status[0] = '\0';

    RequestClient session;
    if (!session.Open() || !UpdateAllMachines(session.Client())) return ServerNotWorking(output);

    TesmoClient& client = session.Client();
    bool first = true;
    JsonOpenArray(output, nullptr, true);
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        const strGroup* group = client.GetGroup(g);
        for (int32_t m = 0; m < group->countOfMachines; ++m) {
            const strMachine& machine = group->machines[m];
            if (!PassesFilters(machine, groupId, status)) continue;
            char machineId[kPrintedIdSize];
            PrintedId(machine.id, machineId);
            WriteMachineEntry(client, output, machineId, first);
            first = false;
        }
    }
    JsonCloseArray(output);
    return Ok;
}

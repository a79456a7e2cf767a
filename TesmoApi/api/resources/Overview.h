// The overview resources: groups (every group with the worst status of its
// machines) and machines (every machine, or those of one group and/or one
// status). Both documents are written from a catalogue whose statuses
// UpdateAllMachines has refreshed, by templates over the catalogue's source,
// as in Catalogue.h.
#pragma once

#include "Portavex.h"
#include "api/JsonOutput.h"
#include "api/resources/Catalogue.h"

// The handlers: groups takes no parameters; machines takes the optional
// filters group_id and status.
eRequestResult OnGetGroups(const char* parameters, strJsonOutput* output);
eRequestResult OnGetMachines(const char* parameters, strJsonOutput* output);

// True when the machine passes both filters; an empty filter lets every
// machine through, and a status without a word passes no status filter.
bool PassesFilters(const strMachine& machine, const char* groupId, const char* status);

// The groups array.
template <class Catalogue>
void WriteGroups(Catalogue& client, strJsonOutput* output) {
    JsonOpenArray(output, nullptr, true);
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        const strGroup* group = client.GetGroup(g);
        JsonOpenObject(output, nullptr, g == 0);
        JsonAddValue(output, "name", group->name, eJsonType::String, true);
        JsonAddValue(output, "id", group->id, eJsonType::String, false);
        JsonAddValue(output, "status", StatusText(group->status), eJsonType::String, false);
        JsonCloseObject(output);
    }
    JsonCloseArray(output);
}

// One machine object, filled from the first machine with machineId (so two
// machines sharing an id give two identical entries).
template <class Catalogue>
void WriteMachineEntry(Catalogue& client, strJsonOutput* output, const char* machineId,
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

// The machines array, groups in order and machines in order within each.
template <class Catalogue>
void WriteMachines(Catalogue& client, strJsonOutput* output, const char* groupId,
                   const char* status) {
    bool first = true;
    JsonOpenArray(output, nullptr, true);
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        const strGroup* group = client.GetGroup(g);
        for (int32_t m = 0; m < group->countOfMachines; ++m) {
            const strMachine& machine = group->machines[m];
            if (!PassesFilters(machine, groupId, status)) continue;
            // The entry looks the machine up again by its id as printed.
            char machineId[kPrintedIdSize];
            PrintedId(machine.id, machineId);
            WriteMachineEntry(client, output, machineId, first);
            first = false;
        }
    }
    JsonCloseArray(output);
}

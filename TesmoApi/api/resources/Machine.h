// The machine and values resources. The machine document is one machine in
// full: points, variables with their alarm levels and current values,
// analysis definitions; the values document is the current value and status
// of every variable of a machine. Both are written after UpdateMachine, by
// templates over the catalogue's source, as in Catalogue.h.
#pragma once

#include "Portavex.h"
#include "api/JsonOutput.h"
#include "api/resources/Catalogue.h"
#include "api/resources/ValueWriting.h"

// The handlers: both take machine_id.
eRequestResult OnGetMachine(const char* parameters, strJsonOutput* output);
eRequestResult OnGetValues(const char* parameters, strJsonOutput* output);

// The "points" member, with its leading comma.
void WritePoints(strJsonOutput* output, const strMachine& machine);
// One object of the "variables" member.
void WriteVariable(strJsonOutput* output, const strVariable& variable, bool first);
// The "analysis" member, with its leading comma.
void WriteAnalysisDefinitions(strJsonOutput* output, const strMachine& machine);

// The "variables" member, with its leading comma.
template <class Catalogue>
void WriteVariables(Catalogue& client, strJsonOutput* output, const char* machineId) {
    JsonOpenArray(output, "variables", false);
    int32_t count = GetMachineVariableCount(client, machineId);
    for (int32_t i = 0; i < count; ++i) {
        WriteVariable(output, *GetMachineVariable(client, machineId, i), i == 0);
    }
    JsonCloseArray(output);
}

// The machine object; "id" repeats the requested text. Nothing when no
// machine has that id.
template <class Catalogue>
void WriteMachineDocument(Catalogue& client, strJsonOutput* output, const char* machineId) {
    const strMachine* machine = FindMachine(client, machineId);
    if (machine == nullptr) return;
    JsonOpenObject(output, nullptr, true);
    JsonAddValue(output, "id", machineId, eJsonType::String, true);
    JsonAddValue(output, "name", machine->name, eJsonType::String, false);
    JsonAddValue(output, "status", GetMachineStatusText(client, machineId), eJsonType::String,
                 false);
    JsonAddValue(output, "group_id", machine->group->id, eJsonType::String, false);
    JsonAddValue(output, "group_name", machine->group->name, eJsonType::String, false);
    WritePoints(output, *machine);
    WriteVariables(client, output, machineId);
    WriteAnalysisDefinitions(output, *machine);
    JsonCloseObject(output);
}

// The values array, in the order of the machine's variables.
template <class Catalogue>
void WriteValues(Catalogue& client, strJsonOutput* output, const char* machineId) {
    JsonOpenArray(output, nullptr, true);
    int32_t count = GetMachineVariableCount(client, machineId);
    for (int32_t i = 0; i < count; ++i) {
        const strVariable* variable = GetMachineVariable(client, machineId, i);
        JsonOpenObject(output, nullptr, i == 0);
        JsonAddValue(output, "id", variable->id, eJsonType::String, true);
        JsonAddValue(output, "status", StatusText(variable->status), eJsonType::String, false);
        AddValue(output, variable->value, IsDigital(variable));
        JsonCloseObject(output);
    }
    JsonCloseArray(output);
}

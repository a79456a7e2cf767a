// Lookups over the catalogue a client loaded, the words for status codes, and
// the two refreshes that fetch current values and raise point and group
// statuses to the worst status below them.
//
// Ids are not assumed unique: every lookup scans the groups in index order
// and, inside a group, its machines in order, and takes the first match.
// Ids are compared as the JSON writer prints them (a catalogue text that is
// not valid UTF-8 is read as Windows-1252), exactly and case-sensitively, so
// an id copied from an answer finds the record it came from.
//
// The lookups are templates over the catalogue's source: the service passes
// its TesmoClient; anything with GetCountOfGroups(), GetGroup(int) and
// Update(strMachine*) will do, which lets tests hand-build a catalogue.
#pragma once

#include <cstdint>
#include <utility>

#include "TesmoClient.h"
#include "TesmoProtocol.h"
#include "api/JsonOutput.h"

// Status codes, in increasing order of severity, as the client hands them out.
using tesmo::kStatusAlarm;
using tesmo::kStatusNormal;
using tesmo::kStatusTrip;
using tesmo::kStatusUndefined;

// The word of a status code, or null for a code without one.
const char* StatusText(int32_t status);

// Replaces *status by candidate when candidate is worse.
void RaiseStatus(int32_t* status, int32_t candidate);

// Bytes of an id as the writer prints it (before escaping), terminator included.
constexpr uint32_t kPrintedIdSize = JsonUtf8Size(kJsonStringCut);

// Writes catalogueId as the writer prints it into printed (kPrintedIdSize bytes).
void PrintedId(const char* catalogueId, char* printed);

// True when catalogueId, read as the writer prints it, equals requestedId.
bool IdEquals(const char* catalogueId, const char* requestedId);

// Raises each point of the machine to the worst status of the variables that
// name it; a point no variable names keeps its status.
void RaisePointStatuses(strMachine* machine);

// Element index of an array of count elements, or null outside it.
template <class T>
T* ElementAt(T* array, int32_t count, int index) {
    if (array == nullptr || index < 0 || index >= count) return nullptr;
    return &array[index];
}

// True when record is one of the count elements of array, by address.
template <class T>
bool IsElementOf(const T* record, const T* array, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (&array[i] == record) return true;
    }
    return false;
}

// First record of an array whose id equals id, or null.
template <class T>
T* FindById(T* array, int32_t count, const char* id) {
    for (int32_t i = 0; i < count; ++i) {
        if (IdEquals(array[i].id, id)) return &array[i];
    }
    return nullptr;
}

// Index within group groupIndex of its first machine with machineId; -1 when
// there is none or the group index is invalid.
template <class Catalogue>
int FindMachineInGroup(Catalogue& client, int groupIndex, const char* machineId) {
    const strGroup* group = client.GetGroup(groupIndex);
    if (group == nullptr) return -1;
    for (int32_t i = 0; i < group->countOfMachines; ++i) {
        if (IdEquals(group->machines[i].id, machineId)) return i;
    }
    return -1;
}

// Walks the first machine with machineId of each group, groups in order, and
// returns the first non-null result of pick(machine), or null. This is the
// fall-through rule: a later group's machine with the same id is asked only
// when the earlier ones gave nothing.
template <class Catalogue, class Pick>
auto PickFromMachines(Catalogue& client, const char* machineId, Pick pick)
    -> decltype(pick(std::declval<strMachine&>())) {
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        int index = FindMachineInGroup(client, g, machineId);
        if (index < 0) continue;
        auto* found = pick(client.GetGroup(g)->machines[index]);
        if (found != nullptr) return found;
    }
    return nullptr;
}

// The first machine with machineId, groups in order; null when none.
template <class Catalogue>
strMachine* FindMachine(Catalogue& client, const char* machineId) {
    return PickFromMachines(client, machineId, [](strMachine& machine) { return &machine; });
}

template <class Catalogue>
const char* GetMachineStatusText(Catalogue& client, const char* machineId) {
    const strMachine* machine = FindMachine(client, machineId);
    return machine == nullptr ? nullptr : StatusText(machine->status);
}

template <class Catalogue>
const char* GetMachineGroupId(Catalogue& client, const char* machineId) {
    const strMachine* machine = FindMachine(client, machineId);
    if (machine == nullptr || machine->group == nullptr) return nullptr;
    return machine->group->id;
}

// countOfVariables of the first machine with machineId; -1 when none.
template <class Catalogue>
int32_t GetMachineVariableCount(Catalogue& client, const char* machineId) {
    const strMachine* machine = FindMachine(client, machineId);
    return machine == nullptr ? -1 : machine->countOfVariables;
}

// Variable index of the first machine with machineId that has more than index
// variables; null when none has.
template <class Catalogue>
strVariable* GetMachineVariable(Catalogue& client, const char* machineId, int index) {
    return PickFromMachines(client, machineId, [index](strMachine& machine) {
        return ElementAt(machine.variables, machine.countOfVariables, index);
    });
}

// The variable with variableId of the first machine with machineId that has
// one; null when none has.
template <class Catalogue>
strVariable* FindMachineVariable(Catalogue& client, const char* machineId, const char* variableId) {
    return PickFromMachines(client, machineId, [variableId](strMachine& machine) {
        return FindById(machine.variables, machine.countOfVariables, variableId);
    });
}

// The analysis definition with analysisId of the first machine with
// machineId that has one; null when none has.
template <class Catalogue>
strAnalisis* FindAnalysisDefinition(Catalogue& client, const char* machineId,
                                    const char* analysisId) {
    return PickFromMachines(client, machineId, [analysisId](strMachine& machine) {
        return FindById(machine.analisis, machine.countOfAnalisis, analysisId);
    });
}

// True when the variable or the definition is one of the machine's own. Ids
// are not unique, so what FindMachineVariable and FindAnalysisDefinition find
// may belong to a later machine with the id than the one FindMachine finds;
// the client asks the server only about a machine's own records and refuses
// such a pair without an exchange.
inline bool BelongsTo(const strVariable* variable, const strMachine& machine) {
    return IsElementOf(variable, machine.variables, machine.countOfVariables);
}
inline bool BelongsTo(const strAnalisis* definition, const strMachine& machine) {
    return IsElementOf(definition, machine.analisis, machine.countOfAnalisis);
}

// Fetches the current values of the first machine with machineId and raises
// its points' statuses. False when there is no such machine or the server
// fails; the machine's group is not touched.
template <class Catalogue>
bool UpdateMachine(Catalogue& client, const char* machineId) {
    strMachine* machine = FindMachine(client, machineId);
    if (machine == nullptr || !client.Update(machine)) return false;
    RaisePointStatuses(machine);
    return true;
}

// Fetches the current values of every machine, groups in order, and raises
// each group to the worst status of its machines. Stops with false at the
// first failure (what was handled before keeps what it got). Point statuses
// are not raised.
template <class Catalogue>
bool UpdateAllMachines(Catalogue& client) {
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        strGroup* group = client.GetGroup(g);
        for (int32_t m = 0; m < group->countOfMachines; ++m) {
            strMachine* machine = &group->machines[m];
            if (!client.Update(machine)) return false;
            RaiseStatus(&group->status, machine->status);
        }
    }
    return true;
}

// machine: one machine in full, with its points, its variables (alarm levels
// and current values) and its analysis definitions.
#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"
#include "api/resources/ValueWriting.h"

namespace {

// Type letters of an analysis definition.
constexpr char kDefinitionSpectrum = 'S';
constexpr char kDefinitionWaveform = 'W';

void AddPointMembers(strJsonOutput* output, const strPoint* point) {
    if (point == nullptr) return;
    JsonAddValue(output, "point_id", point->id, eJsonType::String, false);
    JsonAddValue(output, "point_name", point->name, eJsonType::String, false);
}

void WritePoints(strJsonOutput* output, const strMachine& machine) {
    JsonOpenArray(output, "points", false);
    for (int32_t p = 0; p < machine.countOfPoints; ++p) {
        const strPoint& point = machine.points[p];
        JsonOpenObject(output, nullptr, p == 0);
        JsonAddValue(output, "id", point.id, eJsonType::String, true);
        JsonAddValue(output, "name", point.name, eJsonType::String, false);
        JsonAddValue(output, "status", StatusText(point.status), eJsonType::String, false);
        JsonCloseObject(output);
    }
    JsonCloseArray(output);
}

// Alarm levels and value of a variable that is not digital.
void AddLevels(strJsonOutput* output, const strVariable& variable) {
    AddBoolean(output, "low_low_enable", variable.lowLowEnable != 0);
    AddBoolean(output, "low_enable", variable.lowEnable != 0);
    AddBoolean(output, "high_enable", variable.highEnable != 0);
    AddBoolean(output, "high_high_enable", variable.highHighEnable != 0);
    JsonAddFloat(output, "low_low", variable.lowLow, false);
    JsonAddFloat(output, "low", variable.low, false);
    JsonAddFloat(output, "high", variable.high, false);
    JsonAddFloat(output, "high_high", variable.highHigh, false);
}

void WriteVariable(strJsonOutput* output, const strVariable& variable, bool first) {
    bool digital = IsDigital(&variable);
    JsonOpenObject(output, nullptr, first);
    JsonAddValue(output, "id", variable.id, eJsonType::String, true);
    JsonAddValue(output, "name", variable.name, eJsonType::String, false);
    JsonAddValue(output, "type", variable.type, eJsonType::String, false);
    if (!digital) {
        JsonAddValue(output, "unit", variable.units, eJsonType::String, false);
        JsonAddValue(output, "status", StatusText(variable.status), eJsonType::String, false);
    }
    AddPointMembers(output, variable.point);
    if (!digital) AddLevels(output, variable);
    AddValue(output, variable.value, digital);
    JsonCloseObject(output);
}

void WriteVariables(TesmoClient& client, strJsonOutput* output, const char* machineId) {
    JsonOpenArray(output, "variables", false);
    int32_t count = GetMachineVariableCount(client, machineId);
    for (int32_t i = 0; i < count; ++i) {
        WriteVariable(output, *GetMachineVariable(client, machineId, i), i == 0);
    }
    JsonCloseArray(output);
}

void AddDefinitionType(strJsonOutput* output, const strAnalisis& definition) {
    if (definition.type == kDefinitionSpectrum) {
        JsonAddValue(output, "type", "spectrum", eJsonType::String, false);
        JsonAddFloat(output, "fmax", definition.fmax, false);
        AddInteger(output, "lines", definition.lines);
        AddInteger(output, "averages", definition.averages);
    } else if (definition.type == kDefinitionWaveform) {
        JsonAddValue(output, "type", "waveform", eJsonType::String, false);
        JsonAddFloat(output, "fs", definition.fs, false);
        AddInteger(output, "samples", definition.samples);
    }
}

void WriteAnalysisDefinitions(strJsonOutput* output, const strMachine& machine) {
    JsonOpenArray(output, "analysis", false);
    for (int32_t a = 0; a < machine.countOfAnalisis; ++a) {
        const strAnalisis& definition = machine.analisis[a];
        JsonOpenObject(output, nullptr, a == 0);
        JsonAddValue(output, "id", definition.id, eJsonType::String, true);
        AddDefinitionType(output, definition);
        JsonAddValue(output, "magnitude", definition.magnitude, eJsonType::String, false);
        JsonAddValue(output, "unit", definition.units, eJsonType::String, false);
        JsonAddValue(output, "status", StatusText(definition.status), eJsonType::String, false);
        AddPointMembers(output, definition.point);
        JsonCloseObject(output);
    }
    JsonCloseArray(output);
}

}  // namespace

eRequestResult OnGetMachine(const char* parameters, strJsonOutput* output) {
    char machineId[kIdSize];
    if (!ReadText(parameters, "machine_id", machineId, kIdLimit)) {
        JsonSetError(output, kMessageUseMachine, kErrorUseMachine);
        return BadRequest;
    }

    RequestClient session;
    TesmoClient& client = session.Client();
    if (!session.Open() || !UpdateMachine(client, machineId)) return ServerNotWorking(output);

    // UpdateMachine succeeded, so the machine exists.
    const strMachine& machine = *FindMachine(client, machineId);
    JsonOpenObject(output, nullptr, true);
    JsonAddValue(output, "id", machineId, eJsonType::String, true);
    JsonAddValue(output, "name", machine.name, eJsonType::String, false);
    JsonAddValue(output, "status", GetMachineStatusText(client, machineId), eJsonType::String,
                 false);
    JsonAddValue(output, "group_id", machine.group->id, eJsonType::String, false);
    JsonAddValue(output, "group_name", machine.group->name, eJsonType::String, false);
    WritePoints(output, machine);
    WriteVariables(client, output, machineId);
    WriteAnalysisDefinitions(output, machine);
    JsonCloseObject(output);
    return Ok;
}

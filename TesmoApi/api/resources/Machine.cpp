// The machine and values resources: one machine in full, and the current
// values of its variables.
#include "api/resources/Machine.h"

#include "TesmoProtocol.h"
#include "api/Parameters.h"
#include "api/resources/Answers.h"

namespace {

void AddPointMembers(strJsonOutput* output, const strPoint* point) {
    if (point == nullptr) return;
    JsonAddValue(output, "point_id", point->id, eJsonType::String, false);
    JsonAddValue(output, "point_name", point->name, eJsonType::String, false);
}

// Alarm levels of a variable that is not digital.
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

void AddDefinitionType(strJsonOutput* output, const strAnalisis& definition) {
    if (definition.type == tesmo::kSpectrumLetter) {
        JsonAddValue(output, "type", "spectrum", eJsonType::String, false);
        JsonAddFloat(output, "fmax", definition.fmax, false);
        AddInteger(output, "lines", definition.lines);
        AddInteger(output, "averages", definition.averages);
    } else if (definition.type == tesmo::kWaveformLetter) {
        JsonAddValue(output, "type", "waveform", eJsonType::String, false);
        JsonAddFloat(output, "fs", definition.fs, false);
        AddInteger(output, "samples", definition.samples);
    }
}

struct strMachineRequest {
    char machineId[kIdSize];
};

bool ReadMachineRequest(const char* parameters, strMachineRequest* request) {
    return ReadText(parameters, "machine_id", request->machineId, kIdLimit);
}

// Both documents need the machine's current values; a machine id that
// matches no machine fails the refresh too.
bool WriteMachine(TesmoClient& client, strJsonOutput* output, const strMachineRequest& request) {
    if (!UpdateMachine(client, request.machineId)) return false;
    WriteMachineDocument(client, output, request.machineId);
    return true;
}

bool WriteMachineValues(TesmoClient& client, strJsonOutput* output,
                        const strMachineRequest& request) {
    if (!UpdateMachine(client, request.machineId)) return false;
    WriteValues(client, output, request.machineId);
    return true;
}

}  // namespace

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

eRequestResult OnGetMachine(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadMachineRequest, WriteMachine, kMessageUseMachine,
                       kErrorUseMachine);
}

eRequestResult OnGetValues(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadMachineRequest, WriteMachineValues,
                       kMessageUseValues, kErrorUseValues);
}

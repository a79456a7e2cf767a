// values: the current value and status of every variable of one machine.
#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"
#include "api/resources/ValueWriting.h"

namespace {

void WriteValues(TesmoClient& client, strJsonOutput* output, const char* machineId) {
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

}  // namespace

eRequestResult OnGetValues(const char* parameters, strJsonOutput* output) {
    char machineId[kIdSize];
    if (!ReadText(parameters, "machine_id", machineId, kIdLimit)) {
        JsonSetError(output, kMessageUseValues, kErrorUseValues);
        return BadRequest;
    }

    RequestClient session;
    if (!session.Open() || !UpdateMachine(session.Client(), machineId)) {
        return ServerNotWorking(output);
    }
    WriteValues(session.Client(), output, machineId);
    return Ok;
}

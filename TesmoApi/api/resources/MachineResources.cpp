// The machine and values resources.
#include "api/Resources.h"
#include "api/resources/MachineDocument.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"

eRequestResult OnGetMachine(const char* parameters, strJsonOutput* output) {
    char machineId[kIdSize];
    if (!ReadText(parameters, "machine_id", machineId, kIdLimit)) {
        return UsageError(output, kMessageUseMachine, kErrorUseMachine);
    }
    // A machine id that matches no machine fails the refresh as well.
    RequestClient session;
    if (!session.Open() || !UpdateMachine(session.Client(), machineId)) {
        return ServerNotWorking(output);
    }
    WriteMachineDocument(session.Client(), output, machineId);
    return Ok;
}

eRequestResult OnGetValues(const char* parameters, strJsonOutput* output) {
    char machineId[kIdSize];
    if (!ReadText(parameters, "machine_id", machineId, kIdLimit)) {
        return UsageError(output, kMessageUseValues, kErrorUseValues);
    }
    RequestClient session;
    if (!session.Open() || !UpdateMachine(session.Client(), machineId)) {
        return ServerNotWorking(output);
    }
    WriteValues(session.Client(), output, machineId);
    return Ok;
}

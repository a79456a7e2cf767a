// The machine and values resources.
#include "api/Resources.h"
#include "api/resources/MachineDocument.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"

namespace {

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

eRequestResult OnGetMachine(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadMachineRequest, WriteMachine, kMessageUseMachine,
                       kErrorUseMachine);
}

eRequestResult OnGetValues(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadMachineRequest, WriteMachineValues,
                       kMessageUseValues, kErrorUseValues);
}

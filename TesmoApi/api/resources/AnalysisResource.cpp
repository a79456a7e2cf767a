// analysis: one stored spectrum or waveform with all its values.
#include <cstdint>

#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"
#include "api/resources/ValueWriting.h"

namespace {

// What an analysis request asks for.
struct strAnalysisRequest {
    char machineId[kIdSize];
    char analysisId[kIdSize];
    int32_t time;
};

bool ReadAnalysisRequest(const char* parameters, strAnalysisRequest* request) {
    return ReadText(parameters, "machine_id", request->machineId, kIdLimit) &&
           ReadText(parameters, "analysis_id", request->analysisId, kIdLimit) &&
           ReadTime(parameters, "time", &request->time);
}

void AddIdAndName(strJsonOutput* output, const char* name, const char* id, const char* text) {
    JsonOpenObject(output, name, false);
    JsonAddValue(output, "id", id, eJsonType::String, true);
    JsonAddValue(output, "name", text, eJsonType::String, false);
    JsonCloseObject(output);
}

// The values of the result; when the client cannot hand one out the array
// ends there, still closed.
void AddData(TesmoClient& client, strJsonOutput* output, const strAnalisisData& header) {
    JsonOpenArray(output, "data", false);
    for (uint32_t i = 0; i < static_cast<uint32_t>(header.count); ++i) {
        float value = 0.0f;
        if (!client.GetAnalisisData(&value, static_cast<int>(i))) break;
        JsonAddFloat(output, nullptr, value, i == 0);
    }
    JsonCloseArray(output);
}

void WriteAnalysisDocument(TesmoClient& client, strJsonOutput* output, const strMachine& machine,
                           const strAnalisis& definition, const strAnalisisData& header) {
    AddTime(output, "time", header.time, true);
    AddIdAndName(output, "machine", machine.id, machine.name);
    AddIdAndName(output, "point", definition.point->id, definition.point->name);
    JsonOpenObject(output, "analysis", false);
    JsonAddValue(output, "id", definition.id, eJsonType::String, true);
    JsonAddValue(output, "magnitude", definition.magnitude, eJsonType::String, false);
    JsonAddValue(output, "units", definition.units, eJsonType::String, false);
    AddStoredAnalysisType(output, header);
    JsonCloseObject(output);
    AddData(client, output, header);
}

// Writes the members of the one analysis stored in the second ending at the
// requested time; nothing when there is none.
void WriteAnalysis(TesmoClient& client, strJsonOutput* output, const strAnalysisRequest& request) {
    strMachine* machine = FindMachine(client, request.machineId);
    strAnalisis* definition = FindAnalysisDefinition(client, request.machineId, request.analysisId);
    if (machine == nullptr || definition == nullptr) return;

    strAnalisisData header = {};
    if (!client.GetAnalisis(&header, machine, definition, static_cast<long>(request.time) - 1,
                            request.time, false)) {
        return;
    }
    if (header.count == 0) return;
    WriteAnalysisDocument(client, output, *machine, *definition, header);
}

}  // namespace

eRequestResult OnGetAnalysis(const char* parameters, strJsonOutput* output) {
    strAnalysisRequest request;
    if (!ReadAnalysisRequest(parameters, &request)) {
        JsonSetError(output, kMessageUseAnalysis, kErrorUseAnalysis);
        return BadRequest;
    }

    RequestClient session;
    if (!session.Open()) return ServerNotWorking(output);
    JsonOpenObject(output, nullptr, true);
    WriteAnalysis(session.Client(), output, request);
    JsonCloseObject(output);
    return Ok;
}

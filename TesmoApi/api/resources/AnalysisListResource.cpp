// analysis_list: the stored analyses of one definition within a time span,
// newest first, thinned out so that at most max_items are spread over it.
#include <cstdint>

#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"
#include "api/resources/ValueWriting.h"

namespace {

constexpr int32_t kDefaultListItems = 10;
constexpr int32_t kMaxListItems = 100;

// What an analysis_list request asks for.
struct strListRequest {
    char machineId[kIdSize];
    char analysisId[kIdSize];
    int32_t from;
    int32_t to;
    int32_t maxItems;
};

// max_items must be positive: the span is divided by it.
bool ReadListRequest(const char* parameters, strListRequest* request) {
    request->maxItems = kDefaultListItems;
    ReadCount(parameters, "max_items", &request->maxItems);
    return ReadText(parameters, "machine_id", request->machineId, kIdLimit) &&
           ReadText(parameters, "analysis_id", request->analysisId, kIdLimit) &&
           ReadTime(parameters, "from", &request->from) &&
           ReadTime(parameters, "to", &request->to) && request->from <= request->to &&
           request->maxItems > 0 && request->maxItems <= kMaxListItems;
}

void WriteAnalysisListItem(strJsonOutput* output, const strAnalisis& definition,
                           const strAnalisisData& header, bool first) {
    JsonOpenObject(output, nullptr, first);
    AddTime(output, "time", header.time, true);
    JsonAddValue(output, "point_name", definition.point->name, eJsonType::String, false);
    JsonAddValue(output, "analysis_id", definition.id, eJsonType::String, false);
    JsonAddValue(output, "magnitude", definition.magnitude, eJsonType::String, false);
    JsonAddValue(output, "units", definition.units, eJsonType::String, false);
    AddStoredAnalysisType(output, header);
    JsonCloseObject(output);
}

// Walks backwards from "to": each search window ends one step before the
// analysis listed last, so no two entries are closer than the step.
void WriteAnalysisList(TesmoClient& client, strJsonOutput* output, const strListRequest& request) {
    strMachine* machine = FindMachine(client, request.machineId);
    strAnalisis* definition = FindAnalysisDefinition(client, request.machineId, request.analysisId);
    if (machine == nullptr || definition == nullptr) return;

    int64_t step = (static_cast<int64_t>(request.to) - request.from) / request.maxItems;
    if (step < 2) step = 1;
    strAnalisisData header = {};
    int64_t upper = request.to;
    for (int32_t n = 0; n < request.maxItems; ++n) {
        if (!client.GetAnalisis(&header, machine, definition, request.from,
                                static_cast<long>(upper), false)) {
            return;
        }
        if (header.count == 0) return;
        WriteAnalysisListItem(output, *definition, header, n == 0);
        upper = header.time - step;
        if (upper < request.from) return;
    }
}

}  // namespace

eRequestResult OnGetAnalysisList(const char* parameters, strJsonOutput* output) {
    strListRequest request;
    if (!ReadListRequest(parameters, &request)) {
        JsonSetError(output, kMessageUseAnalysisList, kErrorUseAnalysisList);
        return BadRequest;
    }

    RequestClient session;
    if (!session.Open()) return ServerNotWorking(output);
    JsonOpenArray(output, nullptr, true);
    WriteAnalysisList(session.Client(), output, request);
    JsonCloseArray(output);
    return Ok;
}

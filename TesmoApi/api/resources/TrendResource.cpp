// trend: the stored history of one variable of one machine over a time span,
// at most max_items samples.
#include <algorithm>

#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"
#include "api/resources/ResourceParameters.h"
#include "api/resources/ValueWriting.h"

namespace {

constexpr int32_t kDefaultTrendItems = 10;
constexpr int32_t kMaxTrendItems = 30000;

// What a trend request asks for.
struct strTrendRequest {
    char machineId[kIdSize];
    char variableId[kIdSize];
    int32_t from;
    int32_t to;
    int32_t maxItems;
    bool mapped;
};

bool ReadTrendRequest(const char* parameters, strTrendRequest* request) {
    request->maxItems = kDefaultTrendItems;
    request->mapped = true;
    ReadCount(parameters, "max_items", &request->maxItems);
    ReadFlag(parameters, "mapped", &request->mapped);
    return ReadText(parameters, "machine_id", request->machineId, kIdLimit) &&
           ReadText(parameters, "variable_id", request->variableId, kIdLimit) &&
           ReadTime(parameters, "from", &request->from) &&
           ReadTime(parameters, "to", &request->to) && request->from <= request->to &&
           request->maxItems >= 0 && request->maxItems <= kMaxTrendItems;
}

// Writes the samples between the brackets; nothing when the machine or the
// variable does not exist or the query fails. A sample that cannot be read
// ends the list.
void WriteTrend(TesmoClient& client, strJsonOutput* output, const strTrendRequest& request) {
    strMachine* machine = FindMachine(client, request.machineId);
    if (machine == nullptr) return;
    strVariable* variable = FindMachineVariable(client, request.machineId, request.variableId);
    if (variable == nullptr) return;
    bool digital = IsDigital(variable);

    int count = 0;
    if (!client.GetTrend(&count, machine, variable, request.from, request.to, request.maxItems,
                         request.mapped)) {
        return;
    }
    int written = std::min(count, static_cast<int>(request.maxItems));
    for (int j = 0; j < written; ++j) {
        strTimeValue sample = {0, 0.0f};
        if (!client.GetTrendData(&sample, j)) return;
        JsonOpenObject(output, nullptr, j == 0);
        AddTime(output, "time", sample.time, true);
        AddValue(output, sample.value, digital);
        JsonCloseObject(output);
    }
}

}  // namespace

eRequestResult OnGetTrend(const char* parameters, strJsonOutput* output) {
    strTrendRequest request;
    if (!ReadTrendRequest(parameters, &request)) {
        JsonSetError(output, kMessageUseTrend, kErrorUseTrend);
        return BadRequest;
    }

    RequestClient session;
    if (!session.Open()) return ServerNotWorking(output);
    JsonOpenArray(output, nullptr, true);
    WriteTrend(session.Client(), output, request);
    JsonCloseArray(output);
    return Ok;
}

// The trend resource.
#include "api/resources/Trend.h"

#include "api/resources/Answers.h"

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

eRequestResult OnGetTrend(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadTrendRequest, WriteTrend<TesmoClient>,
                       kMessageUseTrend, kErrorUseTrend);
}

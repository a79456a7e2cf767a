// The trend resource: the stored samples of one variable of one machine over
// a time span, at most max_items of them. The document is written by a
// template over the catalogue's source, as in Catalogue.h; the source also
// answers GetTrend and GetTrendData.
#pragma once

#include <algorithm>

#include "Portavex.h"
#include "api/JsonOutput.h"
#include "api/Parameters.h"
#include "api/resources/Catalogue.h"
#include "api/resources/ValueWriting.h"

// The handler: machine_id, variable_id, from, to; max_items and mapped
// optional.
eRequestResult OnGetTrend(const char* parameters, strJsonOutput* output);

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

// Reads the request; false when it is not a valid one (a usage error).
bool ReadTrendRequest(const char* parameters, strTrendRequest* request);

// The trend array. It is empty when the machine or the variable does not
// exist, and when the variable is one of a later machine with the same id
// (the client refuses that pair without asking the server). False when the
// server fails the query: the document is then incomplete and the caller
// answers 2001. A sample the client cannot hand out ends the array.
template <class Catalogue>
bool WriteTrend(Catalogue& client, strJsonOutput* output, const strTrendRequest& request) {
    JsonOpenArray(output, nullptr, true);
    strMachine* machine = FindMachine(client, request.machineId);
    strVariable* variable = FindMachineVariable(client, request.machineId, request.variableId);
    if (machine != nullptr && BelongsTo(variable, *machine)) {
        int count = 0;
        if (!client.GetTrend(&count, machine, variable, request.from, request.to, request.maxItems,
                             request.mapped)) {
            return false;
        }
        bool digital = IsDigital(variable);
        int written = std::min(count, static_cast<int>(request.maxItems));
        for (int j = 0; j < written; ++j) {
            strTimeValue sample = {0, 0.0f};
            if (!client.GetTrendData(&sample, j)) break;
            JsonOpenObject(output, nullptr, j == 0);
            AddTime(output, "time", sample.time, true);
            AddValue(output, sample.value, digital);
            JsonCloseObject(output);
        }
    }
    JsonCloseArray(output);
    return true;
}

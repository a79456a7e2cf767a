// The request callback and the request log.
#include "api/Dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "api/Coalescer.h"
#include "api/IdentHelp.h"
#include "api/LogWrite.h"
#include "api/Metrics.h"
#include "api/Times.h"
#include "api/resources/Analysis.h"
#include "api/resources/Machine.h"
#include "api/resources/Overview.h"
#include "api/resources/Trend.h"
#include "service/Configuration.h"

const strResource ResourceTable[ResourceCount] = {
    {"ident", OnGetIdent, false},      {"help", OnGetHelp, false},
    {"groups", OnGetGroups, true},     {"machines", OnGetMachines, true},
    {"machine", OnGetMachine, true},   {"values", OnGetValues, true},
    {"trend", OnGetTrend, true},       {"analysis_list", OnGetAnalysisList, true},
    {"analysis", OnGetAnalysis, true},
};

namespace {

const char* const kResultNames[] = {
    "Ok", "BadRequest", "Unauthorized", "NotFound", "ServiceError", "NotImplemented",
};
constexpr unsigned kResultNameCount = sizeof kResultNames / sizeof kResultNames[0];

// With sessions, identical requests in flight for the server share their
// answers; those answered here alone run side by side. Never
// destroyed, as connection threads may answer while the process ends.
RequestCoalescer& coalescer = *new RequestCoalescer;

// The row of the resource table named resource; ResourceCount when none is.
unsigned FindResource(const char* resource) {
    for (unsigned row = 0; row < ResourceCount; ++row) {
        if (std::strcmp(ResourceTable[row].name, resource) == 0) return row;
    }
    return ResourceCount;
}

// The lines of a block that are formatted: the banner, the time, the result
// and the resource line's name; the texts that a request brings go out
// from where they are.
constexpr size_t kLogHeadSize = 128;
const char kLogParameters[] = "\nParameters:";
const char kLogResults[] = "\nResults:";
const char kLogBlockEnd[] = "\n\n";

constexpr strLogPiece Literal(const char* text, size_t size) {
    return {text, size - 1};
}

// The block of one request, in one write: the banner opens it, so that it
// stays with its own lines.
void LogBlock(const char* resource, const char* parameters, const char* results,
              size_t resultsLength, eRequestResult result) {
    char timeText[kTimeTextSize];
    FormatTime(static_cast<int32_t>(std::time(nullptr)), timeText);
    char head[kLogHeadSize];
    int length =
        std::snprintf(head, sizeof head,
                      "********** OnGetApi **********\nTime:%s\nResult:%s\nResourceName:", timeText,
                      ResultName(result));
    if (length < 0) return;
    const strLogPiece block[] = {{head, std::min(static_cast<size_t>(length), sizeof head - 1)},
                                 {resource, std::strlen(resource)},
                                 Literal(kLogParameters, sizeof kLogParameters),
                                 {parameters, std::strlen(parameters)},
                                 Literal(kLogResults, sizeof kLogResults),
                                 {results, resultsLength},
                                 Literal(kLogBlockEnd, sizeof kLogBlockEnd)};
    LogWrite(block, sizeof block / sizeof block[0]);
}

}  // namespace

const char* ResultName(eRequestResult result) {
    const unsigned index = static_cast<unsigned>(result);
    return index < kResultNameCount ? kResultNames[index] : "Unknown";
}

eRequestResult OnGetApi(char* resource, char* parameters, char* results,
                        unsigned long* resultsLength, unsigned long resultsSize) {
    const MetricsClock::time_point started =
        metricsCounting ? MetricsClock::now() : MetricsClock::time_point();
    strJsonOutput output;
    JsonInit(&output, results, static_cast<uint32_t>(resultsSize));
    eRequestResult result = NotImplemented;
    const unsigned row = FindResource(resource);
    const ResourceHandler handler = row < ResourceCount ? ResourceTable[row].handler : nullptr;
    if (handler != nullptr && ResourceTable[row].usesServer && serverSessions > 0) {
        result = coalescer.Answer(resource, parameters, handler, &output);
    } else if (handler != nullptr) {
        result = handler(parameters, &output);
    } else {
        JsonSetError(&output, kMessageNoSuchService, kErrorNoSuchService);
    }
    *resultsLength = static_cast<unsigned long>(std::strlen(results));
    LogBlock(resource, parameters, results, *resultsLength, result);
    if (metricsCounting) CountRequest(row, result, MetricsClock::now() - started);
    return result;
}

// The request callback and the request log.
#include "api/Dispatcher.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "api/Coalescer.h"
#include "api/IdentHelp.h"
#include "api/Metrics.h"
#include "api/Times.h"
#include "api/resources/Analysis.h"
#include "api/resources/Machine.h"
#include "api/resources/Overview.h"
#include "api/resources/Trend.h"
#include "service/Configuration.h"

const strResource ResourceTable[ResourceCount] = {
    {"ident", OnGetIdent},       {"help", OnGetHelp},
    {"groups", OnGetGroups},     {"machines", OnGetMachines},
    {"machine", OnGetMachine},   {"values", OnGetValues},
    {"trend", OnGetTrend},       {"analysis_list", OnGetAnalysisList},
    {"analysis", OnGetAnalysis},
};

namespace {

const char* const kResultNames[] = {
    "Ok", "BadRequest", "Unauthorized", "NotFound", "ServiceError", "NotImplemented",
};
constexpr unsigned kResultNameCount = sizeof kResultNames / sizeof kResultNames[0];

// With sessions, identical requests in flight share their answers. Never
// destroyed, as connection threads may answer while the process ends.
RequestCoalescer& coalescer = *new RequestCoalescer;

// The row of the resource table named resource; ResourceCount when none is.
unsigned FindResource(const char* resource) {
    for (unsigned row = 0; row < ResourceCount; ++row) {
        if (std::strcmp(ResourceTable[row].name, resource) == 0) return row;
    }
    return ResourceCount;
}

void LogBlock(const char* resource, const char* parameters, const char* results,
              eRequestResult result) {
    char timeText[kTimeTextSize];
    FormatTime(static_cast<int32_t>(std::time(nullptr)), timeText);
    // One call: the block takes the stream's lock once and never
    // interleaves with another request's.
    LogMessage("Time:%s\nResult:%s\nResourceName:%s\nParameters:%s\nResults:%s\n\n", timeText,
               ResultName(result), resource, parameters, results);
    std::fflush(stdout);
}

}  // namespace

const char* ResultName(eRequestResult result) {
    const unsigned index = static_cast<unsigned>(result);
    return index < kResultNameCount ? kResultNames[index] : "Unknown";
}

// A single stdio call holds the stream's lock for its whole output, so the
// text of one call never interleaves with that of another thread.
void LogMessage(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
}

eRequestResult OnGetApi(char* resource, char* parameters, char* results,
                        unsigned long* resultsLength, unsigned long resultsSize) {
    const MetricsClock::time_point started =
        metricsCounting ? MetricsClock::now() : MetricsClock::time_point();
    LogMessage("********** OnGetApi **********\n");
    strJsonOutput output;
    JsonInit(&output, results, static_cast<uint32_t>(resultsSize));
    eRequestResult result = NotImplemented;
    const unsigned row = FindResource(resource);
    const ResourceHandler handler = row < ResourceCount ? ResourceTable[row].handler : nullptr;
    if (handler != nullptr && serverSessions > 0) {
        result = coalescer.Answer(resource, parameters, handler, &output);
    } else if (handler != nullptr) {
        result = handler(parameters, &output);
    } else {
        JsonSetError(&output, kMessageNoSuchService, kErrorNoSuchService);
    }
    *resultsLength = static_cast<unsigned long>(std::strlen(results));
    LogBlock(resource, parameters, results, result);
    if (metricsCounting) CountRequest(row, result, MetricsClock::now() - started);
    return result;
}

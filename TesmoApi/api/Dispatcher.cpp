// The request callback and the request log.
#include "api/Dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "api/IdentHelp.h"
#include "api/LogWrite.h"
#include "api/Times.h"
#include "api/resources/Analysis.h"
#include "api/resources/Machine.h"
#include "api/resources/Overview.h"
#include "api/resources/Trend.h"

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

ResourceHandler FindHandler(const char* resource) {
    for (const strResource& row : ResourceTable) {
        if (std::strcmp(row.name, resource) == 0) return row.handler;
    }
    return nullptr;
}

// The lines of a block before the results: the banner, time, result,
// resource name (under the request's 2,048 bytes) and parameters (the
// parameter document's 2,048 characters) lines, and the results line's name.
constexpr size_t kLogHeadSize = 4352;
const char kLogBlockEnd[] = "\n\n";

// The block of one request, in one write: the banner opens it, so that it
// stays with its own lines.
void LogBlock(const char* resource, const char* parameters, const char* results,
              size_t resultsLength, eRequestResult result) {
    char timeText[kTimeTextSize];
    FormatTime(static_cast<int32_t>(std::time(nullptr)), timeText);
    char head[kLogHeadSize];
    int length = std::snprintf(
        head, sizeof head,
        "********** OnGetApi **********\nTime:%s\nResult:%s\nResourceName:%s\nParameters:%s\n"
        "Results:",
        timeText, ResultName(result), resource, parameters);
    if (length < 0) return;
    const strLogPiece block[] = {{head, std::min(static_cast<size_t>(length), sizeof head - 1)},
                                 {results, resultsLength},
                                 {kLogBlockEnd, sizeof kLogBlockEnd - 1}};
    LogWrite(block, sizeof block / sizeof block[0]);
}

}  // namespace

const char* ResultName(eRequestResult result) {
    const unsigned index = static_cast<unsigned>(result);
    return index < kResultNameCount ? kResultNames[index] : "Unknown";
}

eRequestResult OnGetApi(char* resource, char* parameters, char* results,
                        unsigned long* resultsLength, unsigned long resultsSize) {
    strJsonOutput output;
    JsonInit(&output, results, static_cast<uint32_t>(resultsSize));
    eRequestResult result = NotImplemented;
    const ResourceHandler handler = FindHandler(resource);
    if (handler != nullptr) {
        result = handler(parameters, &output);
    } else {
        JsonSetError(&output, kMessageNoSuchService, kErrorNoSuchService);
    }
    *resultsLength = static_cast<unsigned long>(std::strlen(results));
    LogBlock(resource, parameters, results, *resultsLength, result);
    return result;
}

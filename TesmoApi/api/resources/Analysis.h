// The stored-analysis resources: analysis_list (the analyses of one
// definition within a span, newest first, thinned out to at most max_items)
// and analysis (one stored spectrum or waveform with all its values). The
// documents are written by templates over the catalogue's source, as in
// Catalogue.h; the source also answers GetAnalisis and GetAnalisisData.
#pragma once

#include <cstdint>

#include "Portavex.h"
#include "api/JsonOutput.h"
#include "api/Parameters.h"
#include "api/resources/Catalogue.h"
#include "api/resources/ValueWriting.h"

// The handlers: analysis_list takes machine_id, analysis_id, from, to and an
// optional max_items; analysis takes machine_id, analysis_id and time.
eRequestResult OnGetAnalysisList(const char* parameters, strJsonOutput* output);
eRequestResult OnGetAnalysis(const char* parameters, strJsonOutput* output);

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

// What an analysis request asks for.
struct strAnalysisRequest {
    char machineId[kIdSize];
    char analysisId[kIdSize];
    int32_t time;
};

// Read the requests; false when not valid (a usage error). max_items of
// analysis_list must be 1 to 100: the span is divided by it.
bool ReadListRequest(const char* parameters, strListRequest* request);
bool ReadAnalysisRequest(const char* parameters, strAnalysisRequest* request);

// One object of the analysis_list array.
void WriteAnalysisListItem(strJsonOutput* output, const strAnalisis& definition,
                           const strAnalisisData& header, bool first);

// The members of an analysis document before "data".
void WriteAnalysisHeader(strJsonOutput* output, const strMachine& machine,
                         const strAnalisis& definition, const strAnalisisData& header);

// The machine and the analysis definition a request names; false when
// either does not exist, or when the definition is one of a later machine
// with the same id (the client refuses that pair without asking the server,
// so nothing is found).
template <class Catalogue>
bool FindDefinition(Catalogue& client, const char* machineId, const char* analysisId,
                    strMachine** machine, strAnalisis** definition) {
    *machine = FindMachine(client, machineId);
    *definition = FindAnalysisDefinition(client, machineId, analysisId);
    return *machine != nullptr && BelongsTo(*definition, **machine);
}

// The analysis_list array, walking backwards from "to": each search window
// ends one step before the analysis listed last, so no two entries are
// closer than the step. Empty when the machine or definition does not exist.
// False when the server fails a query (the caller answers 2001).
template <class Catalogue>
bool WriteAnalysisList(Catalogue& client, strJsonOutput* output, const strListRequest& request) {
    JsonOpenArray(output, nullptr, true);
    strMachine* machine;
    strAnalisis* definition;
    if (FindDefinition(client, request.machineId, request.analysisId, &machine, &definition)) {
        int64_t step = (static_cast<int64_t>(request.to) - request.from) / request.maxItems;
        if (step < 2) step = 1;
        strAnalisisData header = {};
        int64_t upper = request.to;
        for (int32_t n = 0; n < request.maxItems && upper >= request.from; ++n) {
            if (!client.GetAnalisis(&header, machine, definition, request.from,
                                    static_cast<long>(upper), false)) {
                return false;
            }
            if (header.count == 0) break;
            WriteAnalysisListItem(output, *definition, header, n == 0);
            upper = header.time - step;
        }
    }
    JsonCloseArray(output);
    return true;
}

// The "data" member: the values of the result. When the client cannot hand
// out one of them the array ends there, still closed.
template <class Catalogue>
void WriteAnalysisData(Catalogue& client, strJsonOutput* output, const strAnalisisData& header) {
    JsonOpenArray(output, "data", false);
    for (uint32_t i = 0; i < static_cast<uint32_t>(header.count); ++i) {
        float value = 0.0f;
        if (!client.GetAnalisisData(&value, static_cast<int>(i))) break;
        JsonAddFloat(output, nullptr, value, i == 0);
    }
    JsonCloseArray(output);
}

// The analysis object of the one result stored in the second ending at the
// requested time; "{}" when the machine, the definition or such a result does
// not exist. False when the server fails the query (the caller answers 2001).
template <class Catalogue>
bool WriteAnalysis(Catalogue& client, strJsonOutput* output, const strAnalysisRequest& request) {
    JsonOpenObject(output, nullptr, true);
    strMachine* machine;
    strAnalisis* definition;
    if (FindDefinition(client, request.machineId, request.analysisId, &machine, &definition)) {
        strAnalisisData header = {};
        if (!client.GetAnalisis(&header, machine, definition, static_cast<long>(request.time) - 1,
                                request.time, false)) {
            return false;
        }
        if (header.count != 0) {
            WriteAnalysisHeader(output, *machine, *definition, header);
            WriteAnalysisData(client, output, header);
        }
    }
    JsonCloseObject(output);
    return true;
}

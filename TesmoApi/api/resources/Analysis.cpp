// The analysis_list and analysis resources.
#include "api/resources/Analysis.h"

#include "api/resources/Answers.h"

namespace {

void AddIdAndName(strJsonOutput* output, const char* member, const char* id, const char* name) {
    JsonOpenObject(output, member, false);
    JsonAddValue(output, "id", id, eJsonType::String, true);
    JsonAddValue(output, "name", name, eJsonType::String, false);
    JsonCloseObject(output);
}

}  // namespace

bool ReadListRequest(const char* parameters, strListRequest* request) {
    request->maxItems = kDefaultListItems;
    ReadCount(parameters, "max_items", &request->maxItems);
    return ReadText(parameters, "machine_id", request->machineId, kIdLimit) &&
           ReadText(parameters, "analysis_id", request->analysisId, kIdLimit) &&
           ReadTime(parameters, "from", &request->from) &&
           ReadTime(parameters, "to", &request->to) && request->from <= request->to &&
           request->maxItems > 0 && request->maxItems <= kMaxListItems;
}

bool ReadAnalysisRequest(const char* parameters, strAnalysisRequest* request) {
    return ReadText(parameters, "machine_id", request->machineId, kIdLimit) &&
           ReadText(parameters, "analysis_id", request->analysisId, kIdLimit) &&
           ReadTime(parameters, "time", &request->time);
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

void WriteAnalysisHeader(strJsonOutput* output, const strMachine& machine,
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
}

eRequestResult OnGetAnalysisList(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadListRequest, WriteAnalysisList<TesmoClient>,
                       kMessageUseAnalysisList, kErrorUseAnalysisList);
}

eRequestResult OnGetAnalysis(const char* parameters, strJsonOutput* output) {
    return AnswerQuery(parameters, output, ReadAnalysisRequest, WriteAnalysis<TesmoClient>,
                       kMessageUseAnalysis, kErrorUseAnalysis);
}

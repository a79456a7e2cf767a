// The resources of the API: one handler per name in the resource table.
// Each handler reads its parameters from the parameter document (the empty
// text when the URL has no query), writes its whole answer through the JSON
// writer and returns the result the HTTP library turns into a status line.
#ifndef TESMOAPI_API_RESOURCES_H
#define TESMOAPI_API_RESOURCES_H

#include "Portavex.h"
#include "api/JsonOutput.h"

typedef eRequestResult (*ResourceHandler)(const char* parameters, strJsonOutput* output);

// Answered without the monitoring server.
eRequestResult OnGetIdent(const char* parameters, strJsonOutput* output);
eRequestResult OnGetHelp(const char* parameters, strJsonOutput* output);

// Answered from the monitoring server.
eRequestResult OnGetGroups(const char* parameters, strJsonOutput* output);
eRequestResult OnGetMachines(const char* parameters, strJsonOutput* output);
eRequestResult OnGetMachine(const char* parameters, strJsonOutput* output);
eRequestResult OnGetValues(const char* parameters, strJsonOutput* output);
eRequestResult OnGetTrend(const char* parameters, strJsonOutput* output);
eRequestResult OnGetAnalysisList(const char* parameters, strJsonOutput* output);
eRequestResult OnGetAnalysis(const char* parameters, strJsonOutput* output);

#endif  // TESMOAPI_API_RESOURCES_H

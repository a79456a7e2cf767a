// The two resources answered without the monitoring server: ident says what
// the client is talking to, help lists the resource table. Both ignore their
// parameters.
#pragma once

#include "Portavex.h"
#include "api/JsonOutput.h"

// The API's name and version, as ident states them.
extern const char* const kApiName;
extern const char* const kApiVersion;

eRequestResult OnGetIdent(const char* parameters, strJsonOutput* output);
eRequestResult OnGetHelp(const char* parameters, strJsonOutput* output);

// The two resources answered without the monitoring server: ident says what
// the client is talking to, help lists the resource table. Both ignore their
// parameters.
#pragma once

#include "Portavex.h"
#include "api/JsonOutput.h"

eRequestResult OnGetIdent(const char* parameters, strJsonOutput* output);
eRequestResult OnGetHelp(const char* parameters, strJsonOutput* output);

// How a data resource answers: its document from a fresh client, or one of
// the error documents that replace it (a usage error for parameters that
// cannot be read, 2001 for a monitoring server that cannot be used).
#pragma once

#include "Portavex.h"
#include "TesmoClient.h"
#include "api/JsonOutput.h"
#include "api/resources/RequestClient.h"

// Answers the request with the "Tesmo Server is not working" error document;
// returns the result that goes with it.
eRequestResult ServerNotWorking(strJsonOutput* output);

// Answers the request with a resource's usage error document; returns the
// result that goes with it.
eRequestResult UsageError(strJsonOutput* output, const char* message, unsigned code);

// Answers a resource that takes parameters: read reads them (a request that
// is not valid gets the usage error, and no client is created), then write
// writes the document from a fresh client; a failure to open the client or
// a false from write (the server failed) gets the 2001 error instead.
template <class Request>
eRequestResult AnswerQuery(const char* parameters, strJsonOutput* output,
                           bool (*read)(const char*, Request*),
                           bool (*write)(TesmoClient&, strJsonOutput*, const Request&),
                           const char* usage, unsigned usageCode) {
    Request request;
    if (!read(parameters, &request)) return UsageError(output, usage, usageCode);
    RequestClient session;
    if (!session.Open() || !write(session.Client(), output, request)) {
        return ServerNotWorking(output);
    }
    session.Succeeded();
    return Ok;
}

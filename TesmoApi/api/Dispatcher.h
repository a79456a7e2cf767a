// The request callback of the service: finds the resource named in the URL
// in the resource table, lets its handler write the answer into the results
// buffer and logs one block of lines per request on standard output.
#pragma once

#include "Portavex.h"
#include "api/JsonOutput.h"

// A resource's handler: reads its parameters from the parameter document (the
// empty text when the URL has no query), writes its whole answer through the
// JSON writer and returns the result the HTTP library turns into a status
// line.
typedef eRequestResult (*ResourceHandler)(const char* parameters, strJsonOutput* output);

// Bytes of a resource name in the table (51 characters and the terminator).
constexpr unsigned kResourceNameSize = 52;

// One row of the resource table.
struct strResource {
    char name[kResourceNameSize];  // as written after /api/ in the URL
    ResourceHandler handler;
    bool usesServer;  // asks the monitoring server, so twins may share a round
};

constexpr unsigned ResourceCount = 9;

// The resources, in the order help lists them.
extern const strResource ResourceTable[ResourceCount];

// The service's RequestCallback (see Portavex.h).
eRequestResult OnGetApi(char* resource, char* parameters, char* results,
                        unsigned long* resultsLength, unsigned long resultsSize);

// The name logged for a result ("Ok", "BadRequest", ...).
const char* ResultName(eRequestResult result);

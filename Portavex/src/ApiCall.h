// Answering a request for the API: the query turned into the parameter
// document, the application's request callback, and its results sent as a
// JSON answer.
#pragma once

#include "Compression.h"
#include "Portavex.h"
#include "Response.h"

namespace portavex {

// What the application gave Start for its API.
struct strApiSettings {
    RequestCallback callback;  // null when the server has no API
    unsigned long resultsSize;
};

// Answers the request for resource (beginning with kApiPrefix) with query
// (null when the URL has none), building the parameter document in
// parameters (kParameterDocumentCapacity + 1 bytes). Every answer with a
// body says that its coding depends on Accept-Encoding; one of more than
// kGzipThreshold bytes goes gzip-coded through gzip, the connection's
// encoder, when the request allows it (gzip not null) and that makes it
// smaller. True when the answer was Ok and went out whole and the request
// did not ask for the close, so the connection may stay open.
bool ServeApi(const strAnswerChannel& channel, const strApiSettings& api, char* resource,
              char* query, char* parameters, GzipEncoder* gzip);

// Answers GET /metrics with what callback writes into a buffer of
// resultsSize bytes, as plain text. True when the answer was Ok and went out
// whole.
bool ServeMetrics(const strAnswerChannel& channel, MetricsCallback callback,
                  unsigned long resultsSize);

}  // namespace portavex

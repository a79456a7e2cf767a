#include "ApiCall.h"

#include <new>

#include "Limits.h"
#include "ParameterDocument.h"

namespace portavex {

namespace {

const char kJsonExtension[] = ".json";

// Sends the callback's answer, gzip-coded when that is allowed and pays;
// true when the connection stays open after it.
bool SendResults(const strAnswerChannel& channel, eRequestResult status, const char* results,
                 size_t length, GzipEncoder* gzip) {
    if (gzip != nullptr && length > kGzipThreshold && gzip->Compress(results, length, length)) {
        return SendAnswer(channel, status, gzip->Data(), gzip->Length(), kJsonExtension,
                          CodingGzip);
    }
    return SendAnswer(channel, status, results, length, kJsonExtension, CodingIdentity);
}

}  // namespace

bool ServeApi(const strAnswerChannel& channel, const strApiSettings& api, char* resource,
              char* query, char* parameters, GzipEncoder* gzip) {
    if (api.callback == nullptr) return SendError(channel, NotImplemented);
    parameters[0] = '\0';
    if (query != nullptr && !BuildParameterDocument(parameters, query)) {
        return SendError(channel, BadRequest);
    }
    char* results = new (std::nothrow) char[api.resultsSize > 0 ? api.resultsSize : 1];
    if (results == nullptr) return SendError(channel, ServiceError);
    unsigned long length = 0;
    int result =
        api.callback(resource + kApiPrefixLength, parameters, results, &length, api.resultsSize);
    // A callback that breaks its contract gets no answer of its own making.
    if (!IsKnownResult(result) || length > api.resultsSize) {
        delete[] results;
        return SendError(channel, ServiceError);
    }
    const bool keep =
        SendResults(channel, static_cast<eRequestResult>(result), results, length, gzip);
    delete[] results;
    return keep;
}

bool ServeMetrics(const strAnswerChannel& channel, MetricsCallback callback,
                  unsigned long resultsSize) {
    char* results = new (std::nothrow) char[resultsSize > 0 ? resultsSize : 1];
    if (results == nullptr) return SendError(channel, ServiceError);
    unsigned long length = 0;
    int result = callback(results, &length, resultsSize);
    if (!IsKnownResult(result) || length > resultsSize) result = ServiceError;
    const bool keep = result == Ok
                          ? SendTypedAnswer(channel, Ok, results, length, kMetricsContentType)
                          : SendError(channel, static_cast<eRequestResult>(result));
    delete[] results;
    return keep;
}

}  // namespace portavex

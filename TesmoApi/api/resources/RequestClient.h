// The monitoring server connection of one request. Every data resource opens
// one, logged in and with the whole catalogue loaded, and drops it when it
// returns: nothing is kept between requests.
#ifndef TESMOAPI_API_RESOURCES_REQUESTCLIENT_H
#define TESMOAPI_API_RESOURCES_REQUESTCLIENT_H

#include "Portavex.h"
#include "TesmoClient.h"
#include "api/JsonOutput.h"

class RequestClient {
  public:
    RequestClient() = default;
    // Disconnects when Open connected, whatever happened afterwards.
    ~RequestClient();
    RequestClient(const RequestClient&) = delete;
    RequestClient& operator=(const RequestClient&) = delete;

    // Init with the configured user, password, host and port, the configured
    // exchange time-out, then Connect and Load. False on any failure.
    bool Open();

    TesmoClient& Client() { return client; }

  private:
    TesmoClient client;
    bool connected = false;
};

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
    return Ok;
}

#endif  // TESMOAPI_API_RESOURCES_REQUESTCLIENT_H

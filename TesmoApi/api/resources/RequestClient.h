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
// result that goes with it. No client is created for such a request.
eRequestResult UsageError(strJsonOutput* output, const char* message, unsigned code);

#endif  // TESMOAPI_API_RESOURCES_REQUESTCLIENT_H

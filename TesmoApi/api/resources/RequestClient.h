// The monitoring server connection of one request. Every data resource opens
// one, logged in and with the whole catalogue loaded, and drops it when it
// returns: nothing is kept between requests.
#pragma once

#include "TesmoClient.h"

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

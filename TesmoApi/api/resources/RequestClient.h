// The monitoring server connection of one request. By default every data
// resource opens one, logged in and with the whole catalogue loaded, and
// drops it when it returns: nothing is kept between requests. With sessions
// configured the connection is one of the pool's, kept logged in between
// requests; its catalogue is made current (the stamp asked, the catalogue
// downloaded again only when it changed) each time a request takes it.
#pragma once

#include <memory>

#include "TesmoClient.h"

class RequestClient {
  public:
    RequestClient() = default;
    // A connection of its own: disconnects when Open connected, whatever
    // happened afterwards. A pooled one: gives it back, to serve another
    // request only when Succeeded was called.
    ~RequestClient();
    RequestClient(const RequestClient&) = delete;
    RequestClient& operator=(const RequestClient&) = delete;

    // A connection of its own: Init with the configured user, password, host
    // and port, the configured exchange time-out, then Connect and Load.
    // Pooled: a session from the pool, waiting at most the exchange time-out
    // for one, then Load; a kept session whose Load fails (the server closed
    // it while it was idle) is replaced once by a fresh connection. False on
    // any failure.
    bool Open();

    // The client; only after Open returned true.
    TesmoClient& Client() { return *client; }

    // Every exchange of the request succeeded: a pooled session may serve
    // the next request.
    void Succeeded() { healthy = true; }

  private:
    bool Connect();

    std::unique_ptr<TesmoClient> client;
    bool pooled = false;
    bool connected = false;
    bool healthy = false;
};

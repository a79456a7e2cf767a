// HTTP/1.1 for tests over a loopback connection: a client that sends raw
// bytes and reads answers as the server frames them, and one GET on a fresh
// connection.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Loopback.h"

// Sanitizer builds and Wine answer slowly; nothing waits this long when it works.
constexpr int kHttpTimeoutMs = 30000;

// A blocking HTTP client on one connection to 127.0.0.1.
class TestClient {
  public:
    explicit TestClient(unsigned short port) : connection(port) {}

    bool Connected() const { return connection.Connected(); }
    bool Send(const std::string& bytes) { return connection.Send(bytes); }
    // One answer: the header through its empty line and, when the header
    // has a Content-Length, that many bytes of body. Empty when the
    // connection closed or nothing complete came within timeoutMs.
    std::string ReadAnswer(int timeoutMs = 5000);
    // Everything until the server closes the connection; "<timeout>" is
    // appended when it did not close within timeoutMs.
    std::string ReadUntilClosed(int timeoutMs = 5000);
    // Only the bytes up to the end of the next header.
    std::string ReadHeader(int timeoutMs = 5000);
    // The next length bytes, after ReadHeader: false, with *body holding what
    // came, when the connection closed or the time ran out first.
    bool ReadBody(size_t length, std::string* body, int timeoutMs = 5000);
    void Close() { connection.Close(); }

  private:
    LoopbackConnection connection;
    std::string pending;  // received and not yet handed out
};

// "GET <target> HTTP/1.1" with a Host line and the given extra header lines.
std::string GetRequest(const std::string& target, const std::string& headers = "");

// The value of the Content-Length header (its name in any letter case) of an
// answer, or -1.
long long ContentLength(const std::string& header);

struct strHttpAnswer {
    int status = 0;  // the status code; 0 when no complete answer came
    std::string header;
    std::string body;
};

// One GET of target on a fresh connection to 127.0.0.1:port.
strHttpAnswer HttpGet(unsigned short port, const std::string& target,
                      int timeoutMs = kHttpTimeoutMs);

// A query string from name/value pairs, every byte but the unreserved ones
// percent-encoded ("?a=1&b=x%20y"; empty for no pairs).
std::string Query(const std::vector<std::pair<std::string, std::string>>& pairs);

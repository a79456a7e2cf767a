// A blocking HTTP/1.1 GET for the end-to-end tests: one request on a fresh
// connection to 127.0.0.1, one answer whose body Content-Length delimits.
#ifndef TESMOAPI_API_RESOURCES_TESTS_HTTPGET_H
#define TESMOAPI_API_RESOURCES_TESTS_HTTPGET_H

#include <string>
#include <utility>
#include <vector>

struct strHttpAnswer {
    int status = 0;  // the status code; 0 when no answer was read
    std::string body;
};

// Sends "GET target" to 127.0.0.1:port and reads the answer. False when the
// connection fails, the answer is malformed or nothing arrives within
// timeoutSeconds.
bool HttpGet(unsigned short port, const std::string& target, strHttpAnswer* answer,
             int timeoutSeconds = 30);

// A query string from name/value pairs, every byte but the unreserved ones
// percent-encoded ("?a=1&b=x%20y"; empty for no pairs).
std::string Query(const std::vector<std::pair<std::string, std::string>>& pairs);

#endif  // TESMOAPI_API_RESOURCES_TESTS_HTTPGET_H

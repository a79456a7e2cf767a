// What the end-to-end tests share: the demo plant simulator and the HTTP
// server (Portavex on a port of its own choosing, with the service's request
// callback), started once for the whole program; the configuration pointed
// at the simulator before each test; and requests that parse every answer
// with a strict JSON parser.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PlantFacts.h"
#include "Portavex.h"
#include "TesmoSim.h"

using ordered_json = nlohmann::ordered_json;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using Names = std::vector<std::string>;

// The simulator's clock: 2024-03-01T12:00:00Z.
constexpr int32_t kNow = 1709294400;
constexpr int32_t kDay = 86400;
// The results size the service gives the HTTP library.
constexpr unsigned long kServiceResultsSize = 1000000;
// HTTP status codes of the results the API answers with.
constexpr int kHttpOk = 200;
constexpr int kHttpBadRequest = 400;
constexpr int kHttpServiceError = 500;

struct strAnswer {
    int status = 0;
    std::string body;
    ordered_json json;  // null when the body is not JSON (a failure is recorded)
};

// A time as the API writes it.
std::string TimeText(int32_t time);
// The "time" member of an item as seconds (0 when it is not a time).
int32_t TimeOf(const ordered_json& item);
// A Windows-1252 text of the demo plant as the API writes it (UTF-8).
std::string Utf8(const char* windows1252);
// The member names of an object, in order.
Names Keys(const ordered_json& object);
// The status code of a status word (-2 for anything else).
int StatusCode(const std::string& word);

// The environment variable that runs the suite with this many sessions kept
// between requests (absent: none, every request connects and logs in).
constexpr const char* kSessionsVariable = "TESMO_TEST_SESSIONS";
// Its value (0 when absent).
int SuiteSessions();
// Closes every session and configures and starts the pool afresh.
void RestartSessions(int sessions, int idleSeconds);

// Starts an HTTP server like the service's, with the given results size.
// The caller owns it; it serves until destroyed.
Portavex* StartHttp(unsigned long resultsSize);

// GET /api/<resource><query> on port; parses the body strictly.
strAnswer GetFrom(unsigned short port, const std::string& resource, const Pairs& pairs = {});

class EndToEndTest : public ::testing::Test {
  protected:
    // Points the configuration at the demo simulator, with the default
    // time-out, and clears its faults.
    void SetUp() override;

    // GET through the shared HTTP server.
    strAnswer Get(const std::string& resource, const Pairs& pairs = {});

    // Expects an error document with this code and HTTP status.
    static void ExpectError(const strAnswer& answer, int httpStatus, unsigned code);

    static tesmosim::TesmoSim& DemoSim();
    static unsigned short HttpPort();
    // Points the configuration at a simulator on port.
    static void ConfigureServer(int port);
};

// The service's metrics: what the request callback counts, and the answer to
// GET /metrics in the Prometheus text format: the gateway's counters, the
// HTTP server's and the Tesmo client's, the process's figures and, when
// asked for, the plant as the Tesmo server reports it at each scrape.
//
// Counting touches relaxed atomics only, so requests never wait on each
// other or on a scrape.
#pragma once

#include <chrono>
#include <cstdint>

#include "Portavex.h"

// Bytes of the buffer a scrape is written into.
constexpr unsigned long kMetricsResultsSize = 8000000;

using MetricsClock = std::chrono::steady_clock;

// True once EnableMetrics ran: the request callback counts its requests.
// Written before the HTTP server starts, only read afterwards.
extern bool metricsCounting;

// Turns counting on and names the HTTP server whose counters the answer
// shows (it must outlive every scrape); plant adds the plant's metrics. Call
// before the server starts.
void EnableMetrics(const Portavex* server, bool plant);

// Counts one request of the API: resourceIndex is its row of the resource
// table, or ResourceCount for a name the table lacks.
void CountRequest(unsigned resourceIndex, eRequestResult result, MetricsClock::duration elapsed);

// How many logged-in Tesmo sessions are kept, for the sessions gauges.
struct strSessionFigures {
    uint64_t inUse;  // lent to a request now
    uint64_t idle;   // waiting for the next request
};

// Fills *figures and returns true when the service keeps sessions; false
// when it keeps none (then no sessions gauges are written). Called on a
// connection thread at every scrape.
typedef bool (*SessionFiguresSource)(strSessionFigures* figures);

// Sets where the sessions gauges come from (null: none are written). Call
// before the server starts.
void SetSessionFiguresSource(SessionFiguresSource source);

// The service's MetricsCallback (see Portavex.h). A Tesmo server that
// cannot be used shows as tesmo_up 0; the answer fails only when it does
// not fit results.
eRequestResult OnGetMetrics(char* results, unsigned long* resultsLength, unsigned long resultsSize);

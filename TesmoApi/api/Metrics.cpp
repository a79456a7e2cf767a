#include "api/Metrics.h"

#include <atomic>
#include <iterator>

#include "TesmoClient.h"
#include "api/Dispatcher.h"
#include "api/IdentHelp.h"
#include "api/PlantMetrics.h"
#include "api/ProcessFigures.h"
#include "text/Exposition.h"

bool metricsCounting = false;

namespace {

// Resource labels: the table's names, then one for every other name, so
// that what clients ask for cannot grow the label set.
constexpr unsigned kResourceLabels = ResourceCount + 1;
const char kOtherResource[] = "other";

// The label words of eRequestResult and the status codes its answers carry.
const char* const kResultWords[kRequestResultCount] = {
    "ok", "bad_request", "unauthorized", "not_found", "service_error", "not_implemented",
};
const char* const kStatusCodes[kRequestResultCount] = {"200", "400", "401", "404", "500", "501"};
// The status code of a file answer that told the client its copy is current.
const char kNotModifiedCode[] = "304";

// Upper bounds of the request duration buckets, in seconds: from a request
// answered without the Tesmo server to one that waits out its time-out.
const double kDurationBounds[] = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                  0.1,    0.25,  0.5,    1,     2.5,  5,     10};
constexpr unsigned kDurationBuckets = sizeof kDurationBounds / sizeof kDurationBounds[0] + 1;

// The labels of eExchangeKind.
const char* const kExchangeWords[kExchangeKindCount] = {
    "login", "stamp", "catalogue", "special_kinds", "values", "trend", "analysis",
};

constexpr double kNanosecondsPerSecond = 1e9;
// Room for a library's version text.
constexpr unsigned long kVersionTextSize = 20;

struct strRequestCounters {
    std::atomic<uint64_t> results[kResourceLabels][kRequestResultCount];
    std::atomic<uint64_t> durations[kResourceLabels][kDurationBuckets];
    std::atomic<uint64_t> nanoseconds[kResourceLabels];
};

strRequestCounters requestCounters{};
const Portavex* metricsServer = nullptr;
bool metricsPlant = false;
SessionFiguresSource sessionSource = nullptr;

const char* ResourceLabel(unsigned index) {
    return index < ResourceCount ? ResourceTable[index].name : kOtherResource;
}

unsigned DurationBucket(double seconds) {
    unsigned bucket = 0;
    while (bucket + 1 < kDurationBuckets && seconds > kDurationBounds[bucket]) ++bucket;
    return bucket;
}

void WriteBuildInfo(strExposition* out) {
    char portavexVersion[kVersionTextSize] = "";
    char clientVersion[kVersionTextSize] = "";
    Portavex::GetVersion(portavexVersion, sizeof portavexVersion);
    TesmoClient::GetVersion(clientVersion, sizeof clientVersion);
    const strLabel labels[] = {
        {"version", kApiVersion}, {"portavex", portavexVersion}, {"client", clientVersion}};
    ExpositionFamily(out, "tesmoapi_build_info", "gauge",
                     "Versions of the gateway, its HTTP server and its Tesmo client; always 1.");
    ExpositionCount(out, "tesmoapi_build_info", labels, std::size(labels), 1);
}

void WriteRequests(strExposition* out) {
    ExpositionFamily(out, "tesmoapi_requests_total", "counter",
                     "API requests answered, by resource and result.");
    for (unsigned r = 0; r < kResourceLabels; ++r) {
        for (int result = 0; result < kRequestResultCount; ++result) {
            const strLabel labels[] = {{"resource", ResourceLabel(r)},
                                       {"result", kResultWords[result]}};
            const auto& count = requestCounters.results[r][result];
            ExpositionCount(out, "tesmoapi_requests_total", labels, std::size(labels),
                            count.load(std::memory_order_relaxed));
        }
    }
}

void WriteDurations(strExposition* out) {
    ExpositionFamily(out, "tesmoapi_request_duration_seconds", "histogram",
                     "Time from the start of an API request's handling to its answer.");
    for (unsigned r = 0; r < kResourceLabels; ++r) {
        uint64_t counts[kDurationBuckets];
        for (unsigned b = 0; b < kDurationBuckets; ++b) {
            counts[b] = requestCounters.durations[r][b].load(std::memory_order_relaxed);
        }
        const double sum =
            static_cast<double>(requestCounters.nanoseconds[r].load(std::memory_order_relaxed)) /
            kNanosecondsPerSecond;
        const strHistogram histogram = {kDurationBounds, kDurationBuckets - 1, counts, sum};
        const strLabel label = {"resource", ResourceLabel(r)};
        ExpositionHistogram(out, "tesmoapi_request_duration_seconds", &label, 1, histogram);
    }
}

void WriteServer(strExposition* out) {
    strPortavexCounters counters;
    metricsServer->GetCounters(&counters);
    ExpositionFamily(out, "tesmoapi_file_answers_total", "counter",
                     "Answers to requests for files, by HTTP status code.");
    for (int result = 0; result < kRequestResultCount; ++result) {
        const strLabel label = {"code", kStatusCodes[result]};
        ExpositionCount(out, "tesmoapi_file_answers_total", &label, 1,
                        counters.fileAnswers[result]);
    }
    const strLabel notModified = {"code", kNotModifiedCode};
    ExpositionCount(out, "tesmoapi_file_answers_total", &notModified, 1, counters.fileNotModified);
    ExpositionFamily(out, "tesmoapi_connections_open", "gauge", "HTTP connections open now.");
    ExpositionCount(out, "tesmoapi_connections_open", nullptr, 0, counters.connectionsOpen);
    ExpositionFamily(out, "tesmoapi_connections_accepted_total", "counter",
                     "HTTP connections accepted.");
    ExpositionCount(out, "tesmoapi_connections_accepted_total", nullptr, 0,
                    counters.connectionsAccepted);
}

void WriteExchanges(strExposition* out) {
    strExchangeCounts counts;
    TesmoClient::GetExchangeCounts(&counts);
    ExpositionFamily(out, "tesmoapi_tesmo_exchanges_total", "counter",
                     "Exchanges with the Tesmo server, by kind and outcome (failed: the "
                     "connection failed or the login was refused).");
    for (int kind = 0; kind < kExchangeKindCount; ++kind) {
        const strLabel ok[] = {{"kind", kExchangeWords[kind]}, {"outcome", "ok"}};
        const strLabel failed[] = {{"kind", kExchangeWords[kind]}, {"outcome", "failed"}};
        ExpositionCount(out, "tesmoapi_tesmo_exchanges_total", ok, std::size(ok),
                        counts.succeeded[kind]);
        ExpositionCount(out, "tesmoapi_tesmo_exchanges_total", failed, std::size(failed),
                        counts.failed[kind]);
    }
    ExpositionFamily(out, "tesmoapi_tesmo_received_bytes_total", "counter",
                     "Bytes received from the Tesmo server.");
    ExpositionCount(out, "tesmoapi_tesmo_received_bytes_total", nullptr, 0, counts.bytesReceived);
}

void WriteSessions(strExposition* out) {
    strSessionFigures figures;
    if (sessionSource == nullptr || !sessionSource(&figures)) return;
    ExpositionFamily(out, "tesmoapi_sessions", "gauge", "Logged-in Tesmo sessions kept, by state.");
    const strLabel inUse = {"state", "in_use"};
    const strLabel idle = {"state", "idle"};
    ExpositionCount(out, "tesmoapi_sessions", &inUse, 1, figures.inUse);
    ExpositionCount(out, "tesmoapi_sessions", &idle, 1, figures.idle);
}

void WriteProcess(strExposition* out) {
    strProcessFigures figures;
    if (!ReadProcessFigures(&figures)) return;
    ExpositionFamily(out, "process_cpu_seconds_total", "counter",
                     "User and system CPU time spent in seconds.");
    ExpositionNumber(out, "process_cpu_seconds_total", nullptr, 0, figures.cpuSeconds,
                     kDoubleDigits);
    ExpositionFamily(out, "process_resident_memory_bytes", "gauge",
                     "Resident memory size in bytes.");
    ExpositionCount(out, "process_resident_memory_bytes", nullptr, 0, figures.residentBytes);
    ExpositionFamily(out, "process_open_fds", "gauge",
                     "Open file descriptors (handles on Windows).");
    ExpositionCount(out, "process_open_fds", nullptr, 0, figures.openDescriptors);
    ExpositionFamily(out, "process_start_time_seconds", "gauge",
                     "Start time of the process since unix epoch in seconds.");
    ExpositionNumber(out, "process_start_time_seconds", nullptr, 0, figures.startTimeSeconds,
                     kDoubleDigits);
    ExpositionFamily(out, "process_threads", "gauge", "Threads of the process.");
    ExpositionCount(out, "process_threads", nullptr, 0, figures.threads);
}

}  // namespace

void EnableMetrics(const Portavex* server, bool plant) {
    metricsServer = server;
    metricsPlant = plant;
    metricsCounting = true;
}

void SetSessionFiguresSource(SessionFiguresSource source) {
    sessionSource = source;
}

void CountRequest(unsigned resourceIndex, eRequestResult result, MetricsClock::duration elapsed) {
    const unsigned r = resourceIndex < ResourceCount ? resourceIndex : ResourceCount;
    const unsigned index = static_cast<unsigned>(result);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    if (index < kRequestResultCount) {
        requestCounters.results[r][index].fetch_add(1, std::memory_order_relaxed);
    }
    const unsigned bucket =
        DurationBucket(static_cast<double>(nanoseconds) / kNanosecondsPerSecond);
    requestCounters.durations[r][bucket].fetch_add(1, std::memory_order_relaxed);
    requestCounters.nanoseconds[r].fetch_add(static_cast<uint64_t>(nanoseconds),
                                             std::memory_order_relaxed);
}

eRequestResult OnGetMetrics(char* results, unsigned long* resultsLength,
                            unsigned long resultsSize) {
    strExposition out;
    ExpositionInit(&out, results, resultsSize);
    WriteBuildInfo(&out);
    WriteRequests(&out);
    WriteDurations(&out);
    if (metricsServer != nullptr) WriteServer(&out);
    WriteExchanges(&out);
    WriteSessions(&out);
    WriteProcess(&out);
    if (metricsPlant) WritePlantMetrics(&out);
    *resultsLength = out.overflow ? 0 : static_cast<unsigned long>(out.length);
    return out.overflow ? ServiceError : Ok;
}

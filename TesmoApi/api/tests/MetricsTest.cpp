// The metrics answer of the service without an HTTP server or a plant: what
// the request callback counts, and the sessions gauges.
#include "api/Metrics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "api/Dispatcher.h"
#include "api/ProcessFigures.h"

namespace {

std::string Scrape() {
    std::vector<char> buffer(kMetricsResultsSize);
    unsigned long length = 0;
    EXPECT_EQ(Ok, OnGetMetrics(buffer.data(), &length, kMetricsResultsSize));
    return std::string(buffer.data(), length);
}

// The value of the sample line that starts with sample, or -1.
double Sample(const std::string& text, const std::string& sample) {
    const size_t at = text.find("\n" + sample + " ");
    if (at == std::string::npos) return -1;
    return std::stod(text.substr(at + sample.size() + 2));
}

bool sessionsKept = false;

bool SessionFigures(strSessionFigures* figures) {
    *figures = {3, 5};
    return sessionsKept;
}

TEST(MetricsTest, RequestsAreCountedByResourceResultAndDuration) {
    const std::string before = Scrape();
    const auto threeMilliseconds = std::chrono::milliseconds(3);
    CountRequest(0, Ok, threeMilliseconds);
    CountRequest(0, BadRequest, threeMilliseconds);
    CountRequest(ResourceCount, NotImplemented, threeMilliseconds);
    CountRequest(ResourceCount + 7, NotImplemented, threeMilliseconds);
    const std::string after = Scrape();

    const std::string ident = ResourceTable[0].name;
    struct strGrowth {
        std::string sample;
        double growth;
    };
    const strGrowth cases[] = {
        {"tesmoapi_requests_total{resource=\"" + ident + "\",result=\"ok\"}", 1},
        {"tesmoapi_requests_total{resource=\"" + ident + "\",result=\"bad_request\"}", 1},
        {"tesmoapi_requests_total{resource=\"" + ident + "\",result=\"not_found\"}", 0},
        {"tesmoapi_requests_total{resource=\"other\",result=\"not_implemented\"}", 2},
        {"tesmoapi_request_duration_seconds_bucket{resource=\"" + ident + "\",le=\"0.0025\"}", 0},
        {"tesmoapi_request_duration_seconds_bucket{resource=\"" + ident + "\",le=\"0.005\"}", 2},
        {"tesmoapi_request_duration_seconds_bucket{resource=\"" + ident + "\",le=\"+Inf\"}", 2},
        {"tesmoapi_request_duration_seconds_count{resource=\"other\"}", 2},
    };
    for (const strGrowth& c : cases) {
        ASSERT_LE(0, Sample(before, c.sample)) << c.sample;
        EXPECT_EQ(c.growth, Sample(after, c.sample) - Sample(before, c.sample)) << c.sample;
    }
    const std::string sum = "tesmoapi_request_duration_seconds_sum{resource=\"other\"}";
    EXPECT_NEAR(0.006, Sample(after, sum) - Sample(before, sum), 1e-9);
}

TEST(MetricsTest, SessionsGaugesOnlyWhenSessionsAreKept) {
    EXPECT_EQ(std::string::npos, Scrape().find("tesmoapi_sessions")) << "no source";
    SetSessionFiguresSource(SessionFigures);
    sessionsKept = false;
    EXPECT_EQ(std::string::npos, Scrape().find("tesmoapi_sessions")) << "no sessions kept";
    sessionsKept = true;
    const std::string text = Scrape();
    EXPECT_EQ(3, Sample(text, "tesmoapi_sessions{state=\"in_use\"}"));
    EXPECT_EQ(5, Sample(text, "tesmoapi_sessions{state=\"idle\"}"));
    SetSessionFiguresSource(nullptr);
}

// The process's figures as the system reports them for this test program:
// present, and each within what a running test program can have.
TEST(MetricsTest, ProcessFiguresArePlausible) {
#if defined(_WIN32)
    // Wine, where the Windows build is tested, counts no handles.
    constexpr double kLeastDescriptors = 0;
#else
    constexpr double kLeastDescriptors = 1;
#endif
    const std::string text = Scrape();
    const double now = static_cast<double>(std::time(nullptr));
    constexpr double kDay = 86400;
    constexpr double kGigabyte = 1e9;
    struct strRange {
        const char* sample;
        double least;
        double most;
    };
    const strRange cases[] = {
        {"process_cpu_seconds_total", 0, kDay},
        {"process_resident_memory_bytes", 1e5, 16 * kGigabyte},
        {"process_open_fds", kLeastDescriptors, 1e5},
        {"process_start_time_seconds", now - kDay, now + 1},
        {"process_threads", 1, 1e4},
    };
    for (const strRange& c : cases) {
        const double value = Sample(text, c.sample);
        EXPECT_LE(c.least, value) << c.sample;
        EXPECT_GE(c.most, value) << c.sample;
    }
}

// The start time is worked out once; every later scrape gives the same one.
TEST(MetricsTest, StartTimeStaysTheSame) {
    strProcessFigures first, second;
    ASSERT_TRUE(ReadProcessFigures(&first));
    ASSERT_TRUE(ReadProcessFigures(&second));
    EXPECT_GT(first.startTimeSeconds, 0);
    EXPECT_EQ(first.startTimeSeconds, second.startTimeSeconds);
}

}  // namespace

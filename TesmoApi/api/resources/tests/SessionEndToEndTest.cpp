// Sessions kept between requests, seen from the monitoring server: what a
// request costs it at steady state, the bound on connections, the wait for
// a session, idle expiry, a session the server closed, a failed session
// never used again, the stop, identical requests sharing one answer, and the
// sessions gauges and plant metrics with a pool.
// Every count is the simulator's.
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "EndToEnd.h"
#include "api/JsonOutput.h"
#include "api/Metrics.h"
#include "api/PlantMetrics.h"
#include "api/resources/SessionPool.h"
#include "service/Configuration.h"

namespace {

using namespace tesmosim::demo;
using Clock = std::chrono::steady_clock;
using tesmosim::eSimExchange;
using tesmosim::strSimCounts;

// A steady-state request gets no more than the stamp and its answer.
constexpr std::uint64_t kSteadyBytes = 1024;
// Long enough for a connection thread to see its peer go, on a loaded machine.
constexpr auto kSettle = std::chrono::seconds(10);
constexpr const char* kMachines[] = {kMachineNormal,     kMachineAlarm,    kMachineStopped,
                                     kMachineFan,        kMachineFanAlarm, kMachineTrip,
                                     kMachineCompressor, kMachineFanLast};

bool WaitOpen(const tesmosim::TesmoSim& sim, std::uint64_t open) {
    const auto end = Clock::now() + kSettle;
    while (sim.GetCounts().open != open) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class SessionEndToEndTest : public EndToEndTest {
  protected:
    strAnswer Values(const char* machine) { return Get("values", {{"machine_id", machine}}); }

    // The values of every machine of kMachines at once, one request each.
    std::vector<strAnswer> ValuesAtOnce(int count) {
        std::vector<std::future<strAnswer>> pending;
        for (int i = 0; i < count; ++i) {
            const char* machine = kMachines[i % (sizeof kMachines / sizeof kMachines[0])];
            pending.push_back(
                std::async(std::launch::async, [this, machine] { return Values(machine); }));
        }
        std::vector<strAnswer> answers;
        for (auto& answer : pending) answers.push_back(answer.get());
        return answers;
    }
};

// What every data resource answers, fresh and from a kept session, is what a
// connection of its own answers.
TEST_F(SessionEndToEndTest, AnswersAreTheSameWithAndWithoutSessions) {
    const std::string from = TimeText(kNow - kDay);
    const std::string now = TimeText(kNow);
    const std::vector<std::pair<const char*, Pairs>> requests = {
        {"groups", {}},
        {"machines", {{"status", "alarm"}}},
        {"machine", {{"machine_id", kMachineAlarm}}},
        {"values", {{"machine_id", kMachineTrip}}},
        {"trend",
         {{"machine_id", kMachineNormal}, {"variable_id", "2"}, {"from", from}, {"to", now}}},
        {"analysis_list",
         {{"machine_id", kMachineNormal},
          {"analysis_id", kAnalysisSpectrum},
          {"from", from},
          {"to", now}}},
    };
    for (const auto& request : requests) {
        SCOPED_TRACE(request.first);
        RestartSessions(0, kDefaultSessionIdle);
        const strAnswer own = Get(request.first, request.second);
        ASSERT_EQ(kHttpOk, own.status);
        RestartSessions(1, kDefaultSessionIdle);
        EXPECT_EQ(own.body, Get(request.first, request.second).body) << "fresh session";
        EXPECT_EQ(own.body, Get(request.first, request.second).body) << "kept session";
    }
}

TEST_F(SessionEndToEndTest, SteadyStateCostsTheStampAndTheQuery) {
    RestartSessions(2, kDefaultSessionIdle);
    const strAnswer first = Values(kMachineNormal);
    ASSERT_EQ(kHttpOk, first.status);
    DemoSim().ResetCounts();
    const strAnswer second = Values(kMachineNormal);
    ASSERT_EQ(kHttpOk, second.status);
    const strSimCounts counts = DemoSim().GetCounts();
    EXPECT_EQ(0u, counts.connections);
    EXPECT_EQ(0u, counts.logins);
    EXPECT_EQ(1u, counts.Exchanges(eSimExchange::Stamp));
    EXPECT_EQ(1u, counts.Exchanges(eSimExchange::Values));
    EXPECT_EQ(2u, counts.Requests());
    EXPECT_LE(counts.bytesSent, kSteadyBytes);
    EXPECT_EQ(1, sessionPool.SessionsIdle());
    EXPECT_EQ(0, sessionPool.SessionsInUse());
}

TEST_F(SessionEndToEndTest, WithoutSessionsEveryRequestLogsIn) {
    RestartSessions(0, kDefaultSessionIdle);
    DemoSim().ResetCounts();
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    const strSimCounts counts = DemoSim().GetCounts();
    EXPECT_EQ(2u, counts.connections);
    EXPECT_EQ(2u, counts.logins);
    EXPECT_EQ(2u, counts.Exchanges(eSimExchange::Catalogue));
    EXPECT_TRUE(WaitOpen(DemoSim(), 0));
}

// The server takes two connections: a third would be refused.
TEST_F(SessionEndToEndTest, NeverMoreConnectionsThanSessions) {
    tesmosim::TesmoSim limited;
    tesmosim::strTesmoSimOptions options;
    options.now = kNow;
    options.maxConnections = 2;
    options.faults = {"values:slow=100"};
    ASSERT_TRUE(limited.Start(options));
    ConfigureServer(limited.GetPort());
    RestartSessions(2, kDefaultSessionIdle);
    for (const strAnswer& answer : ValuesAtOnce(8)) EXPECT_EQ(kHttpOk, answer.status);
    const strSimCounts counts = limited.GetCounts();
    EXPECT_EQ(0u, counts.refused);
    EXPECT_LE(counts.connections, 2u);
    EXPECT_EQ(8u, counts.Exchanges(eSimExchange::Values));
    RestartSessions(0, kDefaultSessionIdle);
}

// One session, held by an overview whose twelve values exchanges take 200 ms
// each: a second request waits the exchange time-out for it, then answers
// 2001, and never opens a second connection.
TEST_F(SessionEndToEndTest, WaitForASessionEndsAtTheTimeOut) {
    serverTimeout = 1;
    RestartSessions(1, kDefaultSessionIdle);
    ASSERT_TRUE(DemoSim().AddFault("values:slow=200"));
    DemoSim().ResetCounts();
    auto overview = std::async(std::launch::async, [this] { return Get("groups"); });
    while (DemoSim().GetCounts().logins == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto start = Clock::now();
    const strAnswer waited = Values(kMachineNormal);
    const auto waitedFor = Clock::now() - start;
    ExpectError(waited, kHttpServiceError, kErrorServerNotWorking);
    EXPECT_GE(waitedFor, std::chrono::milliseconds(900));
    EXPECT_EQ(kHttpOk, overview.get().status);
    EXPECT_EQ(1u, DemoSim().GetCounts().connections);
}

TEST_F(SessionEndToEndTest, IdleSessionIsClosedAfterItsTime) {
    RestartSessions(2, 1);
    ASSERT_TRUE(WaitOpen(DemoSim(), 0));
    const auto start = Clock::now();
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    EXPECT_EQ(1u, DemoSim().GetCounts().open);
    ASSERT_TRUE(WaitOpen(DemoSim(), 0));
    EXPECT_GE(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(0, sessionPool.SessionsIdle());
    // The next request opens a fresh one.
    DemoSim().ResetCounts();
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    EXPECT_EQ(1u, DemoSim().GetCounts().logins);
}

TEST_F(SessionEndToEndTest, SessionTheServerClosedIsReplacedOnce) {
    RestartSessions(2, kDefaultSessionIdle);
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    // The kept session learns of it only at its next exchange (the
    // simulator's thread may wait for that too: Wine's sockets do not wake a
    // waiting thread when the socket is shut down).
    DemoSim().DropConnections();
    DemoSim().ResetCounts();
    const strAnswer answer = Values(kMachineNormal);
    EXPECT_EQ(kHttpOk, answer.status) << answer.body.substr(0, 200);
    const strSimCounts counts = DemoSim().GetCounts();
    EXPECT_EQ(1u, counts.logins);
    EXPECT_EQ(1u, counts.Exchanges(eSimExchange::Values)) << "the query is sent once";
}

TEST_F(SessionEndToEndTest, SessionIsNeverUsedAfterAFailedExchange) {
    RestartSessions(2, kDefaultSessionIdle);
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    ASSERT_TRUE(DemoSim().AddFault("values:short"));
    ExpectError(Values(kMachineNormal), kHttpServiceError, kErrorServerNotWorking);
    EXPECT_EQ(0, sessionPool.SessionsIdle());
    EXPECT_EQ(0, sessionPool.SessionsInUse());
    DemoSim().ClearFaults();
    DemoSim().ResetCounts();
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    EXPECT_EQ(1u, DemoSim().GetCounts().logins);
}

TEST_F(SessionEndToEndTest, StopClosesIdleSessionsAndThoseInUseWhenTheyReturn) {
    RestartSessions(4, kDefaultSessionIdle);
    DemoSim().ResetCounts();
    for (const strAnswer& answer : ValuesAtOnce(3)) EXPECT_EQ(kHttpOk, answer.status);
    EXPECT_GE(DemoSim().GetCounts().open, 1u);

    ASSERT_TRUE(DemoSim().AddFault("values:slow=300"));
    auto inFlight = std::async(std::launch::async, [this] { return Values(kMachineNormal); });
    while (DemoSim().GetCounts().Exchanges(eSimExchange::Values) < 4) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    sessionPool.Stop();
    EXPECT_EQ(0, sessionPool.SessionsIdle());
    EXPECT_EQ(kHttpOk, inFlight.get().status);
    EXPECT_TRUE(WaitOpen(DemoSim(), 0));
    EXPECT_EQ(0, sessionPool.SessionsInUse());
    // A stopped pool hands out nothing.
    ExpectError(Values(kMachineNormal), kHttpServiceError, kErrorServerNotWorking);
}

TEST_F(SessionEndToEndTest, RefusingServerUnderManyClientsRefusesNone) {
    tesmosim::TesmoSim limited;
    tesmosim::strTesmoSimOptions options;
    options.now = kNow;
    options.maxConnections = 4;
    ASSERT_TRUE(limited.Start(options));
    ConfigureServer(limited.GetPort());
    RestartSessions(4, kDefaultSessionIdle);
    for (const strAnswer& answer : ValuesAtOnce(32)) EXPECT_EQ(kHttpOk, answer.status);
    EXPECT_EQ(0u, limited.GetCounts().refused);
    RestartSessions(0, kDefaultSessionIdle);
}

// Identical requests at once share one round; a request that arrives while
// a round is under way is not given its answer, and still logs its block.
TEST_F(SessionEndToEndTest, IdenticalRequestsShareRoundsThatBeganAfterThem) {
    RestartSessions(4, kDefaultSessionIdle);
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    ASSERT_TRUE(DemoSim().AddFault("values:slow=400"));
    DemoSim().ResetCounts();
    ::testing::internal::CaptureStdout();
    auto first = std::async(std::launch::async, [this] { return Values(kMachineNormal); });
    while (DemoSim().GetCounts().Exchanges(eSimExchange::Values) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The first round's values exchange is under way: these came after it.
    std::vector<std::future<strAnswer>> later;
    for (int i = 0; i < 6; ++i) {
        later.push_back(std::async(std::launch::async, [this] { return Values(kMachineNormal); }));
    }
    const strAnswer firstAnswer = first.get();
    std::vector<strAnswer> answers;
    for (auto& answer : later) answers.push_back(answer.get());
    const std::string log = ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(kHttpOk, firstAnswer.status);
    for (const strAnswer& answer : answers) {
        EXPECT_EQ(kHttpOk, answer.status);
        EXPECT_EQ(answers[0].body, answer.body);
    }
    EXPECT_EQ(2u, DemoSim().GetCounts().Exchanges(eSimExchange::Values))
        << "one round for the first, one for all that came during it";
    size_t blocks = 0;
    for (size_t at = log.find("ResourceName:values"); at != std::string::npos;
         at = log.find("ResourceName:values", at + 1)) {
        ++blocks;
    }
    EXPECT_EQ(7u, blocks);
}

TEST_F(SessionEndToEndTest, DifferentParametersAreNotShared) {
    RestartSessions(4, kDefaultSessionIdle);
    ASSERT_TRUE(DemoSim().AddFault("values:slow=200"));
    DemoSim().ResetCounts();
    const std::vector<strAnswer> answers = ValuesAtOnce(4);
    for (const strAnswer& answer : answers) EXPECT_EQ(kHttpOk, answer.status);
    EXPECT_NE(answers[0].body, answers[1].body);
    EXPECT_EQ(4u, DemoSim().GetCounts().Exchanges(eSimExchange::Values));
}

// The gauges read the pool: none without sessions; a session given back
// healthy waits idle.
TEST_F(SessionEndToEndTest, SessionFiguresFollowThePool) {
    strSessionFigures figures;
    RestartSessions(0, kDefaultSessionIdle);
    EXPECT_FALSE(ReadSessionFigures(&figures));
    RestartSessions(2, kDefaultSessionIdle);
    ASSERT_TRUE(ReadSessionFigures(&figures));
    EXPECT_EQ(0u, figures.inUse + figures.idle);
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    ASSERT_TRUE(ReadSessionFigures(&figures));
    EXPECT_EQ(0u, figures.inUse);
    EXPECT_EQ(1u, figures.idle);
}

// A plant scrape takes a kept session like any request, and gives it back
// for the next one.
TEST_F(SessionEndToEndTest, PlantScrapeUsesAKeptSession) {
    RestartSessions(1, kDefaultSessionIdle);
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    DemoSim().ResetCounts();
    std::vector<char> buffer(kMetricsResultsSize);
    strExposition out;
    ExpositionInit(&out, buffer.data(), buffer.size());
    WritePlantMetrics(&out);
    EXPECT_NE(std::string::npos, std::string(buffer.data(), out.length).find("tesmo_up 1\n"));
    EXPECT_EQ(0u, DemoSim().GetCounts().logins) << "the kept session served the scrape";
    strSessionFigures figures;
    ASSERT_TRUE(ReadSessionFigures(&figures));
    EXPECT_EQ(1u, figures.idle) << "the scrape gave its session back";
    ASSERT_EQ(kHttpOk, Values(kMachineNormal).status);
    EXPECT_EQ(0u, DemoSim().GetCounts().logins);
}

}  // namespace

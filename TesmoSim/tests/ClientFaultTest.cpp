// Injected faults at each exchange: the client's call fails within its
// time-out and leaves the client disconnected; the simulator keeps serving.
#include <cctype>
#include <chrono>
#include <string>

#include "SimClientFixture.h"

namespace tesmosim {

namespace {

// The client's time-out in these tests, and the slack allowed on top of it.
constexpr int kTimeoutSeconds = 1;
constexpr double kSlackSeconds = 2.0;

struct strFaultCase {
    const char* exchange;
    const char* kind;
};

std::string CaseName(const ::testing::TestParamInfo<strFaultCase>& info) {
    std::string name = std::string(info.param.exchange) + "_" + info.param.kind;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// With noise on, so that recovering after a fault reads only what a client may.
class SimFault : public SimClientTest, public ::testing::WithParamInterface<strFaultCase> {
  protected:
    SimFault() { options.noise = true; }

    // The client call that makes the exchange; the calls before it have run.
    bool Call(const std::string& exchange) {
        if (exchange == "login") return client.Connect();
        if (AtLoad(exchange)) return client.Load();
        return Query(exchange);
    }

    bool Query(const std::string& exchange) {
        strMachine* pump = Machine(demo::kMachineNormal);
        if (exchange == "values") return client.Update(pump);
        if (exchange == "trend") {
            int count = 0;
            return client.GetTrend(&count, pump, Variable(pump, demo::kVarVelocity1H),
                                   kTestNow - 86400, kTestNow, 10, true);
        }
        strAnalisisData data;
        return client.GetAnalisis(&data, pump, Analysis(pump, demo::kAnalysisSpectrum),
                                  kTestNow - 86400, kTestNow, false);
    }

    static bool AtLoad(const std::string& exchange) {
        return exchange == "login" || exchange == "stamp" || exchange == "catalogue" ||
               exchange == "kinds";
    }
};

TEST_P(SimFault, CallFailsWithinTheTimeoutAndTheClientIsDisconnected) {
    const strFaultCase& fault = GetParam();
    std::string exchange = fault.exchange;
    StartSim();
    client.SetTimeout(kTimeoutSeconds);
    if (exchange != "login") {
        ASSERT_TRUE(client.Connect());
    }
    if (!AtLoad(exchange)) {
        ASSERT_TRUE(client.Load());
    }
    ASSERT_TRUE(sim.AddFault((exchange + ":" + fault.kind).c_str()));
    auto start = std::chrono::steady_clock::now();
    bool result = Call(exchange);
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(result);
    EXPECT_LT(elapsed, kTimeoutSeconds + kSlackSeconds);
    // A client still connected refuses Connect; this one has dropped its connection.
    sim.ClearFaults();
    EXPECT_TRUE(client.Connect());
    EXPECT_TRUE(client.Load());
    EXPECT_TRUE(Query("values"));
}

const strFaultCase kCases[] = {
    {"login", "stall"},        {"login", "close"},      {"login", "short"},
    {"login", "badlength"},    {"stamp", "stall"},      {"stamp", "close"},
    {"stamp", "short"},        {"stamp", "badlength"},  {"catalogue", "stall"},
    {"catalogue", "close"},    {"catalogue", "short"},  {"catalogue", "badlength"},
    {"kinds", "stall"},        {"kinds", "close"},      {"kinds", "short"},
    {"kinds", "badlength"},    {"values", "stall"},     {"values", "close"},
    {"values", "short"},       {"values", "badlength"}, {"trend", "stall"},
    {"trend", "close"},        {"trend", "short"},      {"trend", "badlength"},
    {"analysis", "stall"},     {"analysis", "close"},   {"analysis", "short"},
    {"analysis", "badlength"}, {"values", "slow=3000"}, {"catalogue", "trickle=50"},
    {"values", "trickle=300"},
};

INSTANTIATE_TEST_SUITE_P(EveryExchange, SimFault, ::testing::ValuesIn(kCases), CaseName);

using SimFaultTiming = SimClientTest;

TEST_F(SimFaultTiming, SlowAnswerWithinTheTimeoutSucceeds) {
    StartLoaded();
    client.SetTimeout(kTimeoutSeconds);
    ASSERT_TRUE(sim.AddFault("values:slow=100"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(client.Update(Machine(demo::kMachineNormal)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

TEST_F(SimFaultTiming, EveryNthExchangeOnlyFails) {
    StartLoaded();
    ASSERT_TRUE(sim.AddFault("values:close:2"));
    strMachine* pump = Machine(demo::kMachineNormal);
    EXPECT_TRUE(client.Update(pump));
    EXPECT_FALSE(client.Update(pump));
    ASSERT_TRUE(client.Connect());
    EXPECT_TRUE(client.Update(pump));
    EXPECT_FALSE(client.Update(pump));
}

TEST_F(SimFaultTiming, FaultsFromTheOptionsApplyAndBadSpecsRefuseToStart) {
    options.now = static_cast<std::int32_t>(kTestNow);
    options.faults = {"login:close", "values:nonsense"};
    EXPECT_FALSE(sim.Start(options));
    EXPECT_FALSE(sim.AddFault("values"));
    options.faults.clear();
    ASSERT_TRUE(sim.Start(options));
    client.Init("demo", "demo", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    EXPECT_TRUE(client.Connect()) << "nothing of the refused options stayed behind";
    client.Disconnect();
    sim.Stop();
    options.faults = {"login:close"};
    ASSERT_TRUE(sim.Start(options));
    client.Init("demo", "demo", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    EXPECT_FALSE(client.Connect());
}

}  // namespace

}  // namespace tesmosim

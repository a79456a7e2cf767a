// The answers when the monitoring server cannot be used: down, refusing the
// login, or failing one of its exchanges; and the older protocol version.
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "api/JsonOutput.h"
#include "service/Configuration.h"

namespace {

using namespace tesmosim::demo;

// One valid request per data resource.
struct strResourceRequest {
    const char* resource;
    Pairs pairs;
};

std::vector<strResourceRequest> EveryResource() {
    const std::string from = TimeText(kNow - kDay);
    const std::string now = TimeText(kNow);
    return {
        {"groups", {}},
        {"machines", {}},
        {"machine", {{"machine_id", kMachineNormal}}},
        {"values", {{"machine_id", kMachineNormal}}},
        {"trend",
         {{"machine_id", kMachineNormal}, {"variable_id", "1"}, {"from", from}, {"to", now}}},
        {"analysis_list",
         {{"machine_id", kMachineNormal},
          {"analysis_id", kAnalysisSpectrum},
          {"from", from},
          {"to", now}}},
        {"analysis",
         {{"machine_id", kMachineNormal}, {"analysis_id", kAnalysisSpectrum}, {"time", now}}},
    };
}

// The resources that reach each exchange of the protocol.
const struct {
    const char* exchange;
    std::vector<const char*> resources;
} kExchanges[] = {
    {"login", {"groups", "machine", "trend", "analysis"}},
    {"stamp", {"machines", "values", "analysis_list"}},
    {"catalogue", {"groups", "machine", "trend"}},
    {"kinds", {"values", "analysis"}},
    {"values", {"groups", "machines", "machine", "values"}},
    {"trend", {"trend"}},
    {"analysis", {"analysis_list", "analysis"}},
};

class FailureEndToEndTest : public EndToEndTest {
  protected:
    void ExpectEveryResourceFails() {
        for (const strResourceRequest& request : EveryResource()) {
            SCOPED_TRACE(request.resource);
            strAnswer answer = Get(request.resource, request.pairs);
            ExpectError(answer, kHttpServiceError, kErrorServerNotWorking);
            EXPECT_EQ(kMessageServerNotWorking, answer.json.value("error", ""));
        }
    }
    strAnswer GetResource(const char* resource) {
        for (const strResourceRequest& request : EveryResource()) {
            if (request.resource == std::string(resource)) return Get(resource, request.pairs);
        }
        ADD_FAILURE() << "no request for " << resource;
        return strAnswer();
    }
};

TEST_F(FailureEndToEndTest, EveryResourceWorksAgainstTheSimulator) {
    for (const strResourceRequest& request : EveryResource()) {
        SCOPED_TRACE(request.resource);
        EXPECT_EQ(kHttpOk, Get(request.resource, request.pairs).status);
    }
}

TEST_F(FailureEndToEndTest, ServerDown) {
    tesmosim::TesmoSim stopped;
    ASSERT_TRUE(stopped.Start(tesmosim::strTesmoSimOptions()));
    int port = stopped.GetPort();
    stopped.Stop();
    ConfigureServer(port);
    ExpectEveryResourceFails();
}

TEST_F(FailureEndToEndTest, LoginRefused) {
    std::snprintf(serverPassword, sizeof serverPassword, "wrong");
    ExpectEveryResourceFails();
}

TEST_F(FailureEndToEndTest, BrokenExchanges) {
    for (const auto& exchange : kExchanges) {
        for (const char* kind : {"close", "short", "badlength"}) {
            std::string fault = std::string(exchange.exchange) + ":" + kind;
            DemoSim().ClearFaults();
            ASSERT_TRUE(DemoSim().AddFault(fault.c_str()));
            for (const char* resource : exchange.resources) {
                SCOPED_TRACE(fault + " " + resource);
                ExpectError(GetResource(resource), kHttpServiceError, kErrorServerNotWorking);
            }
        }
    }
}

TEST_F(FailureEndToEndTest, StalledExchangesAreAnsweredWithinTheTimeOut) {
    serverTimeout = 1;
    for (const auto& exchange : kExchanges) {
        std::string fault = std::string(exchange.exchange) + ":stall";
        DemoSim().ClearFaults();
        ASSERT_TRUE(DemoSim().AddFault(fault.c_str()));
        const char* resource = exchange.resources.front();
        SCOPED_TRACE(fault + " " + resource);
        auto start = std::chrono::steady_clock::now();
        ExpectError(GetResource(resource), kHttpServiceError, kErrorServerNotWorking);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

TEST_F(FailureEndToEndTest, SlowExchangesWithinTheTimeOutAreServed) {
    serverTimeout = 2;
    ASSERT_TRUE(DemoSim().AddFault("values:slow=100"));
    ASSERT_TRUE(DemoSim().AddFault("catalogue:slow=300"));
    EXPECT_EQ(kHttpOk, GetResource("machine").status);
}

TEST_F(FailureEndToEndTest, UpdateFailingForTheThirdMachineFailsTheOverview) {
    ASSERT_TRUE(DemoSim().AddFault("values:close:3"));
    ExpectError(GetResource("groups"), kHttpServiceError, kErrorServerNotWorking);
}

TEST_F(FailureEndToEndTest, RequestsAtTheSameTimeEachGetTheirOwnClient) {
    std::vector<std::future<strAnswer>> answers;
    for (int i = 0; i < 6; ++i) {
        answers.push_back(std::async(std::launch::async, [this, i] {
            return i % 2 == 0 ? GetResource("machine") : GetResource("groups");
        }));
    }
    for (auto& answer : answers) EXPECT_EQ(kHttpOk, answer.get().status);
}

// A server of the older protocol: no DIGITAL variables, one trend command.
class OlderProtocolTest : public EndToEndTest {
  protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        tesmosim::strTesmoSimOptions options;
        options.now = kNow;
        options.version = 150;
        ASSERT_TRUE(older.Start(options));
        ConfigureServer(older.GetPort());
    }
    tesmosim::TesmoSim older;
};

TEST_F(OlderProtocolTest, ResourcesWorkWithoutDigitalVariables) {
    strAnswer groups = Get("groups");
    ASSERT_EQ(kHttpOk, groups.status);
    EXPECT_EQ("trip", groups.json[3]["status"]);

    strAnswer machine = Get("machine", {{"machine_id", kMachineNormal}});
    ASSERT_EQ(kHttpOk, machine.status);
    EXPECT_EQ(static_cast<size_t>(kPumpVariableCount - 1), machine.json["variables"].size());
    for (const ordered_json& variable : machine.json["variables"]) {
        EXPECT_NE("DIGITAL", variable["type"]);
    }
    strAnswer values = Get("values", {{"machine_id", kMachineNormal}});
    ASSERT_EQ(machine.json["variables"].size(), values.json.size());
    EXPECT_EQ(machine.json["variables"][0]["id"], values.json[0]["id"]);

    // mapped=false cannot be asked of such a server: the samples stay mapped.
    strAnswer trend = Get("trend", {{"machine_id", kMachineNormal},
                                    {"variable_id", "1"},
                                    {"from", TimeText(kNow - kDay)},
                                    {"to", TimeText(kNow)},
                                    {"mapped", "false"}});
    ASSERT_EQ(10u, trend.json.size());
    EXPECT_GT(TimeOf(trend.json[9]), kNow - kDay / 2);

    strAnswer list = Get("analysis_list", {{"machine_id", kMachineNormal},
                                           {"analysis_id", kAnalysisSpectrum},
                                           {"from", TimeText(kNow - kDay)},
                                           {"to", TimeText(kNow)}});
    ASSERT_EQ(kHttpOk, list.status);
    EXPECT_FALSE(list.json.empty());
}

// A server that trickles its catalogue, one byte every 100 ms: the header
// alone takes 1.4 s, within the 2 s time-out, and the rest would take most
// of an hour. The request is answered when the exchange's 2 s are up.
TEST_F(FailureEndToEndTest, TricklingServerIsAnsweredWithinTheTimeOut) {
    serverTimeout = 2;
    ASSERT_TRUE(DemoSim().AddFault("catalogue:trickle=100"));
    auto start = std::chrono::steady_clock::now();
    ExpectError(GetResource("groups"), kHttpServiceError, kErrorServerNotWorking);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(serverTimeout + 1));
}

}  // namespace

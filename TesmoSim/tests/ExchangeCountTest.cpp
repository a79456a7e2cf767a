// The process-wide exchange counts of the client, against the simulator.
#include "SimClientFixture.h"

namespace tesmosim {

namespace {

strExchangeCounts Counts() {
    strExchangeCounts counts;
    TesmoClient::GetExchangeCounts(&counts);
    return counts;
}

TEST_F(SimClientTest, EveryExchangeIsCountedByKindAndOutcome) {
    const strExchangeCounts before = Counts();
    StartLoaded();
    strMachine* pump = Machine(demo::kMachineNormal);
    ASSERT_TRUE(client.Update(pump));
    int samples = 0;
    ASSERT_TRUE(client.GetTrend(&samples, pump, Variable(pump, demo::kVarVelocity1H),
                                kTestNow - 86400, kTestNow, 10, true));
    strAnalisisData data;
    ASSERT_TRUE(client.GetAnalisis(&data, pump, Analysis(pump, demo::kAnalysisSpectrum),
                                   kTestNow - 86400, kTestNow, false));
    client.Disconnect();
    client.Init("demo", "wrong", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    ASSERT_FALSE(client.Connect());

    const strExchangeCounts after = Counts();
    for (int kind = 0; kind < kExchangeKindCount; ++kind) {
        EXPECT_EQ(1u, after.succeeded[kind] - before.succeeded[kind]) << kind;
        const uint64_t failed = kind == ExchangeLogin ? 1 : 0;
        EXPECT_EQ(failed, after.failed[kind] - before.failed[kind]) << kind;
    }
    // Two login replies, six headers and at least the catalogue, a trend and
    // a spectrum.
    const uint64_t least = 2 * tesmo::kLoginReplySize + 6 * tesmo::kHeaderSize + 1000;
    EXPECT_LE(least, after.bytesReceived - before.bytesReceived);
}

}  // namespace

}  // namespace tesmosim

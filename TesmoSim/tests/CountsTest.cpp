// What the simulator counts (connections, logins, exchanges, bytes), its
// connection limit, its latency and the dropping of open connections, seen
// through a real client.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "CommandLine.h"
#include "SimClientFixture.h"

namespace tesmosim {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes of the stamp reply: the message header and the 4-byte stamp.
constexpr std::uint64_t kStampReplySize = tesmo::kHeaderSize + 4;
// Long enough for a connection thread to see its peer go, on a loaded machine.
constexpr auto kSettle = std::chrono::seconds(10);

// Waits until the server serves exactly `open` connections; false when it
// does not come to that within kSettle.
bool WaitOpen(const TesmoSim& sim, std::uint64_t open) {
    const auto end = Clock::now() + kSettle;
    while (sim.GetCounts().open != open) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class SimCounts : public SimClientTest {};

TEST_F(SimCounts, EveryExchangeAndByteIsCounted) {
    StartLoaded();
    strSimCounts counts = sim.GetCounts();
    EXPECT_EQ(counts.connections, 1u);
    EXPECT_EQ(counts.open, 1u);
    EXPECT_EQ(counts.logins, 1u);
    EXPECT_EQ(counts.Exchanges(eSimExchange::Login), 1u);
    EXPECT_EQ(counts.Exchanges(eSimExchange::Stamp), 1u);
    EXPECT_EQ(counts.Exchanges(eSimExchange::Catalogue), 1u);
    EXPECT_EQ(counts.Exchanges(eSimExchange::Kinds), 1u);
    EXPECT_EQ(counts.Requests(), 3u);
    EXPECT_GT(counts.bytesSent, static_cast<std::uint64_t>(sim.GetCatalogueSize()));

    // A second Load of an unchanged catalogue costs the stamp alone.
    ASSERT_TRUE(client.Load());
    ASSERT_TRUE(client.Update(Machine(demo::kMachineNormal)));
    const strSimCounts after = sim.GetCounts();
    EXPECT_EQ(after.Exchanges(eSimExchange::Stamp), 2u);
    EXPECT_EQ(after.Exchanges(eSimExchange::Catalogue), 1u);
    EXPECT_EQ(after.Exchanges(eSimExchange::Values), 1u);
    EXPECT_GT(after.bytesSent - counts.bytesSent, kStampReplySize);

    sim.ResetCounts();
    counts = sim.GetCounts();
    EXPECT_EQ(counts.connections + counts.logins + counts.Requests() + counts.bytesSent, 0u);
    EXPECT_EQ(counts.open, 1u) << "open connections are not history";
}

TEST_F(SimCounts, WrongPasswordIsAnExchangeButNoLogin) {
    StartSim();
    client.Init("demo", "wrong", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    EXPECT_FALSE(client.Connect());
    const strSimCounts counts = sim.GetCounts();
    EXPECT_EQ(counts.Exchanges(eSimExchange::Login), 1u);
    EXPECT_EQ(counts.logins, 0u);
}

TEST_F(SimCounts, ConnectionBeyondTheLimitIsRefusedUntilOneEnds) {
    options.maxConnections = 2;
    StartLoaded();
    TesmoClient second;
    TesmoClient third;
    second.Init("demo", "demo", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    third.Init("demo", "demo", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    ASSERT_TRUE(second.Connect());
    EXPECT_FALSE(third.Connect());
    strSimCounts counts = sim.GetCounts();
    EXPECT_EQ(counts.refused, 1u);
    EXPECT_EQ(counts.connections, 2u);
    EXPECT_EQ(counts.logins, 2u);

    second.Disconnect();
    ASSERT_TRUE(WaitOpen(sim, 1));
    EXPECT_TRUE(third.Connect());
    EXPECT_EQ(sim.GetCounts().refused, 1u);
}

TEST_F(SimCounts, LatencyDelaysEveryReply) {
    options.latencyMs = 100;
    StartSim();
    const auto start = Clock::now();
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Load());
    // Login, stamp, catalogue and kinds: four replies, each 100 ms late.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(400));
}

TEST_F(SimCounts, DroppedConnectionsFailTheirNextExchange) {
    StartLoaded();
    sim.DropConnections();
    EXPECT_FALSE(client.Load());
    EXPECT_TRUE(WaitOpen(sim, 0));
    ASSERT_TRUE(client.Connect()) << "the server still listens";
    EXPECT_TRUE(client.Load());
}

TEST(SimCountsText, TotalsNameEveryCount) {
    strSimCounts counts;
    counts.connections = 3;
    counts.refused = 4;
    counts.logins = 5;
    counts.exchanges[static_cast<int>(eSimExchange::Values)] = 6;
    counts.bytesSent = 7;
    char text[512] = {};
    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    PrintCounts(counts, out);
    std::rewind(out);
    ASSERT_NE(std::fgets(text, sizeof text, out), nullptr);
    std::fclose(out);
    const std::string line = text;
    for (const char* part : {"3 connections", "4 refused", "5 logins", "6 values", "7 bytes sent"})
        EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
}

}  // namespace

}  // namespace tesmosim

// Trend replies: samples at the period, oldest first, never in the future,
// mapped thinning that keeps peaks, raw replies cut at the reply bound.
#include <gtest/gtest.h>

#include <algorithm>

#include "SimTestSupport.h"

namespace tesmosim {

namespace {

class TrendReply : public ::testing::Test {
  protected:
    void SetUp() override { plant = BuildPlant(eSimPlant::Demo, 1); }

    // Encodes a trend of the first pump's variable at (kind, index, subIndex)
    // and reads the samples back from the bytes.
    std::vector<strSample> Trend(std::uint8_t kind, std::uint16_t index, std::uint16_t subIndex,
                                 std::int64_t from, std::int64_t to, std::int32_t maxItems,
                                 bool mapped, std::uint16_t machine = 0) {
        strTrendRequest request;
        request.kind = kind;
        request.index = index;
        request.subIndex = subIndex;
        request.from = static_cast<std::int32_t>(from);
        request.to = static_cast<std::int32_t>(to);
        request.maxItems = maxItems;
        std::uint32_t command = mapped ? tesmo::TrendMapped : tesmo::TrendUnmapped;
        EncodeTrend(TestContext(), plant, machine, request, command, mapped, &scratch, &reply);
        std::uint32_t length = AnnouncedLength(reply);
        EXPECT_EQ(length, reply.size() - tesmo::kHeaderSize);
        EXPECT_LE(length, tesmo::kMaxReplyPayload);
        const unsigned char* payload = Payload(reply);
        std::int32_t n = tesmo::LoadI32(payload + tesmo::kTrendCountOffset);
        EXPECT_EQ(length, tesmo::kTrendSamplesOffset + tesmo::kTrendSampleSize * n);
        std::vector<strSample> samples;
        for (std::int32_t i = 0; i < n; ++i) {
            const unsigned char* at =
                payload + tesmo::kTrendSamplesOffset + i * tesmo::kTrendSampleSize;
            samples.push_back({tesmo::LoadI32(at), tesmo::LoadF32(at + 4)});
        }
        return samples;
    }

    std::vector<strSample> Velocity(std::int64_t from, std::int64_t to, std::int32_t maxItems,
                                    bool mapped) {
        return Trend(tesmo::kKindPoint, 0, 0, from, to, maxItems, mapped);
    }

    strSimPlant plant;
    std::vector<strSample> scratch;
    Bytes reply;
};

TEST_F(TrendReply, RawSamplesLieOnThePeriodOldestFirstAndStopAtNow) {
    std::vector<strSample> samples = Velocity(kTestNow - 86400, kTestNow + 86400, 0, false);
    // kTestNow is a multiple of 600 plus 200: the last sample is the one before it.
    ASSERT_EQ(samples.size(), 144u);
    EXPECT_EQ(samples.front().time % 600, 0);
    EXPECT_GE(samples.front().time, kTestNow - 86400);
    EXPECT_LE(samples.back().time, kTestNow);
    EXPECT_GT(samples.back().time, kTestNow - 600);
    for (std::size_t i = 1; i < samples.size(); ++i)
        EXPECT_EQ(samples[i].time - samples[i - 1].time, 600);
}

TEST_F(TrendReply, SamplesMatchTheCurrentValueFunction) {
    std::vector<strSample> samples = Velocity(kTestNow - 3600, kTestNow, 0, false);
    ASSERT_FALSE(samples.empty());
    const strSimVariable& velocity = plant.machines[0].points[0].variables[0];
    for (const strSample& sample : samples)
        EXPECT_FLOAT_EQ(sample.value,
                        static_cast<float>(VariableValue(TestContext(), plant.machines[0], velocity,
                                                         sample.time)));
}

TEST_F(TrendReply, MappedThinsToMaxItemsAndKeepsThePeak) {
    std::int64_t from = kTestNow - 7 * 86400;
    std::vector<strSample> raw = Velocity(from, kTestNow, 0, false);
    std::vector<strSample> mapped = Velocity(from, kTestNow, 50, true);
    ASSERT_EQ(mapped.size(), 50u);
    auto higher = [](const strSample& a, const strSample& b) { return a.value < b.value; };
    strSample peak = *std::max_element(raw.begin(), raw.end(), higher);
    bool kept = std::any_of(mapped.begin(), mapped.end(), [&](const strSample& s) {
        return s.time == peak.time && s.value == peak.value;
    });
    EXPECT_TRUE(kept) << "the highest raw sample survives the thinning";
    EXPECT_LT(mapped.front().time, from + 7 * 86400 / 50 + 1);
    for (std::size_t i = 1; i < mapped.size(); ++i) EXPECT_GT(mapped[i].time, mapped[i - 1].time);
}

TEST_F(TrendReply, MappedWithFewerSamplesThanMaxItemsGivesThemAllAndZeroGivesNone) {
    EXPECT_EQ(Velocity(kTestNow - 3000, kTestNow, 100, true).size(), 5u);
    EXPECT_TRUE(Velocity(kTestNow - 86400, kTestNow, 0, true).empty());
    EXPECT_TRUE(Velocity(kTestNow - 86400, kTestNow, -3, true).empty());
}

TEST_F(TrendReply, RawReplyOfTheWholeHistoryStopsAtTheReplyBound) {
    std::vector<strSample> samples = Velocity(0, kTestNow, 0, false);
    EXPECT_EQ(static_cast<std::int64_t>(samples.size()), MaxTrendSamples());
    EXPECT_EQ(reply.size() - tesmo::kHeaderSize,
              tesmo::kTrendSamplesOffset + tesmo::kTrendSampleSize * samples.size());
    EXPECT_GE(samples.front().time, kTestNow - demo::kHistorySeconds) << "oldest kept sample first";
    // A mapped request for more than fits is cut at the bound as well.
    EXPECT_EQ(static_cast<std::int64_t>(Velocity(0, kTestNow, 30000000, true).size()),
              MaxTrendSamples());
}

TEST_F(TrendReply, EmptySpansAndUnknownAddressesGiveNoSamples) {
    EXPECT_TRUE(Velocity(kTestNow, kTestNow - 3600, 10, true).empty()) << "from after to";
    EXPECT_TRUE(Velocity(kTestNow + 600, kTestNow + 86400, 10, true).empty()) << "the future";
    EXPECT_TRUE(Trend(tesmo::kKindPoint, 99, 0, kTestNow - 86400, kTestNow, 10, true).empty());
    EXPECT_TRUE(Trend(tesmo::kKindSpecial, 50, 0, kTestNow - 86400, kTestNow, 10, true).empty());
    EXPECT_TRUE(Trend(9, 0, 0, kTestNow - 86400, kTestNow, 10, true).empty());
    EXPECT_TRUE(Trend(tesmo::kKindPoint, 0, 0, kTestNow - 86400, kTestNow, 10, true, 500).empty());
}

TEST_F(TrendReply, DigitalVariablesGiveOneWhileRunningAndZeroWhenStopped) {
    for (const strSample& sample :
         Trend(tesmo::kKindDigital, 0, 0, kTestNow - 86400, kTestNow, 0, false))
        EXPECT_EQ(sample.value, 1.0f);
    std::uint16_t stopped =
        static_cast<std::uint16_t>(MachinePosition(plant, demo::kMachineStopped));
    std::vector<strSample> off =
        Trend(tesmo::kKindDigital, 0, 0, kTestNow - 86400, kTestNow, 0, false, stopped);
    ASSERT_FALSE(off.empty());
    for (const strSample& sample : off) EXPECT_EQ(sample.value, 0.0f);
}

}  // namespace

}  // namespace tesmosim

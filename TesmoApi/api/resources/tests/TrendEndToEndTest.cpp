// trend over HTTP against the demo plant.
#include <memory>
#include <string>

#include "EndToEnd.h"
#include "api/JsonOutput.h"

namespace {

using namespace tesmosim::demo;

constexpr int kTrendPeriod = 600;  // the simulator's default sample period

class TrendEndToEndTest : public EndToEndTest {
  protected:
    // A trend of P-101's velocity at 1H over the day before "now", plus extras.
    Pairs Request(const Pairs& extra = {}, int32_t from = kNow - kDay, int32_t to = kNow) {
        Pairs pairs = {{"machine_id", kMachineNormal},
                       {"variable_id", std::to_string(kVarVelocity1H)},
                       {"from", TimeText(from)},
                       {"to", TimeText(to)}};
        pairs.insert(pairs.end(), extra.begin(), extra.end());
        return pairs;
    }
    // Replaces the value of one parameter (or drops it with a null value).
    static Pairs With(Pairs pairs, const std::string& name, const char* value) {
        for (auto item = pairs.begin(); item != pairs.end(); ++item) {
            if (item->first != name) continue;
            if (value == nullptr) {
                pairs.erase(item);
            } else {
                item->second = value;
            }
            break;
        }
        return pairs;
    }
    static void ExpectSamplesWithin(const ordered_json& samples, int32_t from, int32_t to) {
        std::string previous;
        for (const ordered_json& sample : samples) {
            ASSERT_EQ((Names{"time", "value"}), Keys(sample));
            std::string time = sample["time"];
            EXPECT_LE(TimeText(from), time);
            EXPECT_GE(TimeText(to), time);
            EXPECT_LT(previous, time);
            previous = time;
        }
    }
};

TEST_F(TrendEndToEndTest, DefaultIsTenMappedSamplesOverTheSpan) {
    strAnswer answer = Get("trend", Request());
    ASSERT_EQ(kHttpOk, answer.status);
    ASSERT_EQ(10u, answer.json.size());
    ExpectSamplesWithin(answer.json, kNow - kDay, kNow);
    for (const ordered_json& sample : answer.json) EXPECT_TRUE(sample["value"].is_number());
    // Mapped samples are spread over the day, not the first ten of it.
    EXPECT_GT(answer.json[9]["time"].get<std::string>(), TimeText(kNow - kDay / 2));
}

TEST_F(TrendEndToEndTest, UnmappedSamplesAreTheStoredOnesInOrder) {
    // The parameter document carries FALSE as false.
    strAnswer answer = Get("trend", Request({{"max_items", "20"}, {"mapped", "FALSE"}}));
    ASSERT_EQ(kHttpOk, answer.status);
    ASSERT_EQ(20u, answer.json.size());
    ExpectSamplesWithin(answer.json, kNow - kDay, kNow);
    // Twenty consecutive samples, one period apart.
    std::string last = TimeText(TimeOf(answer.json[0]) + 19 * kTrendPeriod);
    EXPECT_EQ(last, answer.json[19]["time"]);
}

TEST_F(TrendEndToEndTest, ItemCounts) {
    strAnswer none = Get("trend", Request({{"max_items", "0"}}));
    EXPECT_EQ(kHttpOk, none.status);
    EXPECT_EQ("[]", none.body);
    EXPECT_EQ(10u, Get("trend", Request({{"max_items", "abc"}})).json.size());
    EXPECT_EQ(37u, Get("trend", Request({{"max_items", "37"}})).json.size());
    // A span with fewer samples than asked for gives all of them.
    strAnswer hour =
        Get("trend", Request({{"max_items", "100"}, {"mapped", "false"}}, kNow - 3600, kNow));
    EXPECT_EQ(static_cast<size_t>(3600 / kTrendPeriod + 1), hour.json.size());
    // from equal to to is one instant.
    strAnswer instant = Get("trend", Request({}, kNow - 3600, kNow - 3600));
    EXPECT_EQ(kHttpOk, instant.status);
    EXPECT_LE(instant.json.size(), 1u);
}

TEST_F(TrendEndToEndTest, DigitalVariableGivesBooleans) {
    Pairs pairs = With(Request(), "variable_id", std::to_string(kVarMotorRunning).c_str());
    strAnswer answer = Get("trend", pairs);
    ASSERT_EQ(kHttpOk, answer.status);
    ASSERT_EQ(10u, answer.json.size());
    for (const ordered_json& sample : answer.json) EXPECT_EQ(true, sample["value"]);
}

TEST_F(TrendEndToEndTest, UnknownMachineOrVariableGivesAnEmptyArray) {
    EXPECT_EQ("[]", Get("trend", With(Request(), "variable_id", "99999")).body);
    EXPECT_EQ("[]", Get("trend", With(Request(), "variable_id", "1/S")).body);
    strAnswer noMachine = Get("trend", With(Request(), "machine_id", "p-101"));
    EXPECT_EQ(kHttpOk, noMachine.status);
    EXPECT_EQ("[]", noMachine.body);
}

TEST_F(TrendEndToEndTest, UsageErrors) {
    const Pairs good = Request();
    const Pairs kBad[] = {
        With(good, "machine_id", nullptr),
        With(good, "variable_id", nullptr),
        With(good, "from", nullptr),
        With(good, "to", nullptr),
        With(good, "machine_id", ""),
        With(good, "variable_id", ""),
        With(good, "from", ""),
        With(good, "from", "2024-13-01T00:00:00Z"),
        With(good, "from", "1969-12-31T23:59:59Z"),
        With(good, "from", "2024-03-01 00:00:00Z"),
        With(good, "from", "2024-03-01T00:00:00Z+0000"),  // 25 characters
        With(good, "to", TimeText(kNow - 2 * kDay).c_str()),
        Request({{"max_items", "30001"}}),
        Request({{"max_items", "-1"}}),
    };
    for (const Pairs& pairs : kBad) {
        strAnswer answer = Get("trend", pairs);
        ExpectError(answer, kHttpBadRequest, kErrorUseTrend);
        EXPECT_EQ(kMessageUseTrend, answer.json.value("error", ""));
    }
}

// 30,000 samples need about 1.4 MB: they outgrow the service's buffer and
// fit a larger one.
TEST_F(TrendEndToEndTest, ThirtyThousandSamples) {
    Pairs pairs = Request({{"max_items", "30000"}}, kNow - 300 * kDay, kNow);
    strAnswer full = Get("trend", pairs);
    ExpectError(full, kHttpOk, kErrorOutOfMemory);

    std::unique_ptr<Portavex> large(StartHttp(2 * kServiceResultsSize));
    ASSERT_NE(nullptr, large);
    strAnswer answer = GetFrom(large->GetPort(), "trend", pairs);
    ASSERT_EQ(kHttpOk, answer.status);
    EXPECT_EQ(30000u, answer.json.size());
    ExpectSamplesWithin(answer.json, kNow - 300 * kDay, kNow);
}

}  // namespace

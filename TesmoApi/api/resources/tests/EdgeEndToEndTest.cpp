// Every resource over HTTP against the edge plant: names with quotes,
// backslashes, tabs and Windows-1252 letters, NaN and infinite values and
// the largest stored spectrum, all in answers a strict JSON parser accepts.
#include <memory>
#include <string>
#include <vector>

#include "EndToEnd.h"

namespace {

using namespace TesmoSimEdge;
using Texts = std::vector<std::string>;

// The edge plant's texts as the API writes them (UTF-8).
const char* const kGroupLettersUtf8 =
    "Se\xC3\xB1"
    "ales\t\xE2\x82\xAC \xC5\x93";
const char* const kPointNameUtf8 = "Punto \"5\" \\ \t\xC3\x91";
const char* const kMeasureNameUtf8 = "Medida \"pico\" \\ \xE2\x82\xAC";
const char* const kSpectrumId = "17/S";

class EdgeEndToEndTest : public EndToEndTest {
  protected:
    static void SetUpTestSuite() {
        edgeSim.reset(new TesmoSim);
        strTesmoSimOptions options;
        options.now = kNow;
        options.plant = eSimPlant::Edge;
        ASSERT_TRUE(edgeSim->Start(options));
    }
    static void TearDownTestSuite() { edgeSim.reset(); }

    void SetUp() override {
        EndToEndTest::SetUp();
        ASSERT_NE(nullptr, edgeSim);
        ConfigureServer(edgeSim->GetPort());
    }

    static const ordered_json* FindById(const ordered_json& array, const std::string& id) {
        for (const ordered_json& item : array) {
            if (item.is_object() && item.value("id", "") == id) return &item;
        }
        return nullptr;
    }

    static std::unique_ptr<TesmoSim> edgeSim;
};

std::unique_ptr<TesmoSim> EdgeEndToEndTest::edgeSim;

TEST_F(EdgeEndToEndTest, GroupsAndMachinesCarryTheirNamesExactly) {
    strAnswer groups = Get("groups");
    ASSERT_EQ(kHttpOk, groups.status);
    ASSERT_EQ(2u, groups.json.size());
    EXPECT_EQ(kGroupQuoted, groups.json[0]["name"]);
    EXPECT_EQ(kGroupQuoted, groups.json[0]["id"]);
    EXPECT_EQ(kGroupLettersUtf8, groups.json[1]["name"]);
    EXPECT_EQ("alarm", groups.json[0]["status"]);
    // The tab travels escaped: a raw control character is not JSON.
    EXPECT_NE(std::string::npos, groups.body.find("ales\\t"));
    EXPECT_EQ(std::string::npos, groups.body.find('\t'));

    strAnswer machines = Get("machines");
    ASSERT_EQ(kHttpOk, machines.status);
    Texts ids;
    for (const ordered_json& machine : machines.json) ids.push_back(machine.value("id", ""));
    EXPECT_EQ((Texts{kMachineQuote, kMachineBackslash, kMachineTab, kMachineFullId}), ids);
    ASSERT_EQ(4u, machines.json.size());
    EXPECT_EQ(kGroupLettersUtf8, machines.json[3]["group_id"]);
    EXPECT_EQ(kGroupQuoted, machines.json[1]["group_name"]);
    EXPECT_EQ("alarm", machines.json[1]["status"]);
    // A filter by a group id with a quote and a backslash finds its machines.
    strAnswer quoted = Get("machines", {{"group_id", kGroupQuoted}});
    ASSERT_EQ(kHttpOk, quoted.status);
    ASSERT_EQ(2u, quoted.json.size());
    EXPECT_EQ(kMachineBackslash, quoted.json[1]["id"]);
}

TEST_F(EdgeEndToEndTest, EveryMachineIsFoundByTheIdTheApiWrites) {
    for (const char* id : {kMachineQuote, kMachineBackslash, kMachineTab, kMachineFullId}) {
        SCOPED_TRACE(id);
        strAnswer machine = Get("machine", {{"machine_id", id}});
        ASSERT_EQ(kHttpOk, machine.status) << machine.body.substr(0, 300);
        EXPECT_EQ(id, machine.json["id"]);
        strAnswer values = Get("values", {{"machine_id", id}});
        ASSERT_EQ(kHttpOk, values.status) << values.body.substr(0, 300);
        EXPECT_FALSE(values.json.empty());
    }
    // The full name's id takes all 50 characters a parameter may have once
    // its quotes, backslash and tab are escaped; one more is another machine.
    strAnswer longer = Get("machine", {{"machine_id", std::string(kMachineFullId) + "x"}});
    EXPECT_EQ(kHttpServiceError, longer.status);
}

TEST_F(EdgeEndToEndTest, MachineDocumentKeepsPointAndVariableNames) {
    strAnswer answer = Get("machine", {{"machine_id", kMachineQuote}});
    ASSERT_EQ(kHttpOk, answer.status);
    const ordered_json& machine = answer.json;
    EXPECT_EQ(kMachineQuote, machine["name"]);
    EXPECT_EQ(kGroupQuoted, machine["group_name"]);
    const ordered_json* point = FindById(machine["points"], "5H");
    ASSERT_NE(nullptr, point);
    EXPECT_EQ(kPointNameUtf8, (*point)["name"]);

    const ordered_json* measure = FindById(machine["variables"], std::to_string(kVarMeasure));
    ASSERT_NE(nullptr, measure);
    EXPECT_EQ(kMeasureNameUtf8, (*measure)["name"]);
    EXPECT_EQ("\"\xC2\xB5m\"\\", (*measure)["unit"]);
    EXPECT_EQ(kPointNameUtf8, (*measure)["point_name"]);
    const ordered_json* nan = FindById(machine["variables"], std::to_string(kVarNaN));
    ASSERT_NE(nullptr, nan);
    EXPECT_EQ("Presi\xC3\xB3n \"NaN\"", (*nan)["name"]);
    const ordered_json* minus = FindById(machine["variables"], std::to_string(kVarMinusInf));
    ASSERT_NE(nullptr, minus);
    EXPECT_EQ("Caudal \\ -inf", (*minus)["name"]);

    // Values that are not numbers are null; everything else stays a number.
    for (int number : {kVarNaN, kVarPlusInf, kVarMinusInf}) {
        const ordered_json* variable = FindById(machine["variables"], std::to_string(number));
        ASSERT_NE(nullptr, variable);
        EXPECT_TRUE((*variable)["value"].is_null()) << number;
    }
    EXPECT_TRUE((*measure)["value"].is_number());

    const ordered_json* spectrum = FindById(machine["analysis"], kSpectrumId);
    ASSERT_NE(nullptr, spectrum);
    EXPECT_EQ("5H", (*spectrum)["point_id"]);
    EXPECT_EQ(kPointNameUtf8, (*spectrum)["point_name"]);
}

TEST_F(EdgeEndToEndTest, ValuesWithoutANumberAreNull) {
    strAnswer answer = Get("values", {{"machine_id", kMachineQuote}});
    ASSERT_EQ(kHttpOk, answer.status);
    for (int number : {kVarNaN, kVarPlusInf, kVarMinusInf}) {
        const ordered_json* value = FindById(answer.json, std::to_string(number));
        ASSERT_NE(nullptr, value) << number;
        EXPECT_TRUE((*value)["value"].is_null()) << number;
    }
    const ordered_json* measure = FindById(answer.json, std::to_string(kVarMeasure));
    ASSERT_NE(nullptr, measure);
    EXPECT_TRUE((*measure)["value"].is_number());
}

TEST_F(EdgeEndToEndTest, TrendWithMissingSamplesHasNullsAmongNumbers) {
    for (const char* mapped : {"false", "true"}) {
        SCOPED_TRACE(mapped);
        strAnswer answer = Get("trend", {{"machine_id", kMachineQuote},
                                         {"variable_id", std::to_string(kVarDropout)},
                                         {"from", TimeText(kNow - kDay)},
                                         {"to", TimeText(kNow)},
                                         {"max_items", "100"},
                                         {"mapped", mapped}});
        ASSERT_EQ(kHttpOk, answer.status);
        EXPECT_EQ(100u, answer.json.size());
        size_t nulls = 0, numbers = 0;
        for (const ordered_json& sample : answer.json) {
            nulls += sample["value"].is_null() ? 1 : 0;
            numbers += sample["value"].is_number() ? 1 : 0;
        }
        EXPECT_EQ(answer.json.size(), nulls + numbers);
        EXPECT_GT(numbers, 0u);
        if (std::string(mapped) == "false") {
            EXPECT_GT(nulls, 0u);
        }
    }
    strAnswer infinite = Get("trend", {{"machine_id", kMachineQuote},
                                       {"variable_id", std::to_string(kVarPlusInf)},
                                       {"from", TimeText(kNow - 3600)},
                                       {"to", TimeText(kNow)}});
    ASSERT_EQ(kHttpOk, infinite.status);
    ASSERT_FALSE(infinite.json.empty());
    for (const ordered_json& sample : infinite.json) EXPECT_TRUE(sample["value"].is_null());
}

TEST_F(EdgeEndToEndTest, LargestSpectrumComesBackWhole) {
    strAnswer list = Get("analysis_list", {{"machine_id", kMachineQuote},
                                           {"analysis_id", kSpectrumId},
                                           {"from", TimeText(kNow - kDay)},
                                           {"to", TimeText(kNow)},
                                           {"max_items", "1"}});
    ASSERT_EQ(kHttpOk, list.status);
    ASSERT_EQ(1u, list.json.size());
    EXPECT_EQ(kPointNameUtf8, list.json[0]["point_name"]);
    int32_t stored = TimeOf(list.json[0]);
    ASSERT_NE(0, stored);

    strAnswer answer = Get(
        "analysis",
        {{"machine_id", kMachineQuote}, {"analysis_id", kSpectrumId}, {"time", TimeText(stored)}});
    ASSERT_EQ(kHttpOk, answer.status) << answer.body.substr(0, 300);
    EXPECT_LE(answer.body.size(), kServiceResultsSize);
    EXPECT_EQ(kMachineQuote, answer.json["machine"]["id"]);
    EXPECT_EQ(kPointNameUtf8, answer.json["point"]["name"]);
    ASSERT_TRUE(answer.json["data"].is_array());
    EXPECT_EQ(static_cast<size_t>(kLargestSpectrumValues), answer.json["data"].size());
    size_t numbers = 0;
    for (const ordered_json& value : answer.json["data"]) numbers += value.is_number() ? 1 : 0;
    EXPECT_EQ(static_cast<size_t>(kLargestSpectrumValues), numbers);
}

}  // namespace

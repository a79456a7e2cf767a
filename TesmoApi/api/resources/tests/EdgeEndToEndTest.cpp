// Every resource over HTTP against the edge plant: names with quotes,
// backslashes, tabs and Windows-1252 letters, ids of 49 accented characters,
// two machines sharing an id, NaN and infinite values and the largest stored
// spectrum, all in answers a strict JSON parser accepts.
#include <memory>
#include <string>
#include <vector>

#include "EndToEnd.h"

namespace {

using namespace tesmosim::edge;
using Texts = std::vector<std::string>;

// The edge plant's texts as the API writes them (UTF-8).
const char* const kGroupLettersUtf8 =
    "Se\xC3\xB1"
    "ales\t\xE2\x82\xAC \xC5\x93";
const char* const kPointNameUtf8 = "Punto \"5\" \\ \t\xC3\x91";
const char* const kMeasureNameUtf8 = "Medida \"pico\" \\ \xE2\x82\xAC";
const char* const kSpectrumId = "17/S";
const std::string kMachineAccentedUtf8 = Utf8(kMachineAccented);
const std::string kGroupAccentedUtf8 = Utf8(kGroupAccented);

class EdgeEndToEndTest : public EndToEndTest {
  protected:
    static void SetUpTestSuite() {
        edgeSim.reset(new tesmosim::TesmoSim);
        tesmosim::strTesmoSimOptions options;
        options.now = kNow;
        options.plant = tesmosim::eSimPlant::Edge;
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

    static std::unique_ptr<tesmosim::TesmoSim> edgeSim;
};

std::unique_ptr<tesmosim::TesmoSim> EdgeEndToEndTest::edgeSim;

TEST_F(EdgeEndToEndTest, GroupsAndMachinesCarryTheirNamesExactly) {
    strAnswer groups = Get("groups");
    ASSERT_EQ(kHttpOk, groups.status);
    ASSERT_EQ(static_cast<size_t>(kGroupCount), groups.json.size());
    EXPECT_EQ(kGroupQuoted, groups.json[0]["name"]);
    EXPECT_EQ(kGroupQuoted, groups.json[0]["id"]);
    EXPECT_EQ(kGroupLettersUtf8, groups.json[1]["name"]);
    EXPECT_EQ(kGroupAccentedUtf8, groups.json[2]["id"]);
    EXPECT_EQ("alarm", groups.json[0]["status"]);
    // The tab travels escaped: a raw control character is not JSON.
    EXPECT_NE(std::string::npos, groups.body.find("ales\\t"));
    EXPECT_EQ(std::string::npos, groups.body.find('\t'));

    strAnswer machines = Get("machines");
    ASSERT_EQ(kHttpOk, machines.status);
    Texts ids;
    for (const ordered_json& machine : machines.json) ids.push_back(machine.value("id", ""));
    EXPECT_EQ((Texts{kMachineQuote, kMachineBackslash, kMachineTab, kMachineFull, kMachineTwin,
                     kMachineAccentedUtf8, kMachineTwin}),
              ids);
    ASSERT_EQ(static_cast<size_t>(kMachineCount), machines.json.size());
    EXPECT_EQ(kGroupLettersUtf8, machines.json[3]["group_id"]);
    EXPECT_EQ(kGroupQuoted, machines.json[1]["group_name"]);
    EXPECT_EQ("alarm", machines.json[1]["status"]);
    // Both twins are listed, each filled from the first of them.
    EXPECT_EQ(machines.json[4], machines.json[6]);
    // A filter by a group id with a quote and a backslash finds its machines.
    strAnswer quoted = Get("machines", {{"group_id", kGroupQuoted}});
    ASSERT_EQ(kHttpOk, quoted.status);
    ASSERT_EQ(2u, quoted.json.size());
    EXPECT_EQ(kMachineBackslash, quoted.json[1]["id"]);
}

// Each id a resource prints, sent back percent-encoded, finds what it names:
// the groups' ids filter the machines, the machines' ids answer machine,
// values, trend, analysis_list and analysis, with the ids of the variables and
// definitions the machine document prints. The accented ids take 49
// characters and up to 87 bytes in UTF-8.
TEST_F(EdgeEndToEndTest, EveryIdTheApiPrintsFindsWhatItNames) {
    strAnswer groups = Get("groups");
    strAnswer machines = Get("machines");
    ASSERT_EQ(kHttpOk, groups.status);
    ASSERT_EQ(kHttpOk, machines.status);
    // Each machine passes the filter of its own group only.
    size_t filtered = 0;
    for (const ordered_json& group : groups.json) {
        const std::string id = group["id"];
        SCOPED_TRACE(id);
        strAnswer machinesOfGroup = Get("machines", {{"group_id", id}});
        ASSERT_EQ(kHttpOk, machinesOfGroup.status);
        EXPECT_FALSE(machinesOfGroup.json.empty());
        filtered += machinesOfGroup.json.size();
    }
    EXPECT_EQ(machines.json.size(), filtered);
    const std::string from = TimeText(kNow - kDay);
    const std::string to = TimeText(kNow);
    for (const ordered_json& entry : machines.json) {
        const std::string id = entry["id"];
        SCOPED_TRACE(id);
        strAnswer machine = Get("machine", {{"machine_id", id}});
        ASSERT_EQ(kHttpOk, machine.status) << machine.body.substr(0, 300);
        EXPECT_EQ(id, machine.json["id"]);
        EXPECT_EQ(entry["name"], machine.json["name"]);
        EXPECT_EQ(entry["group_id"], machine.json["group_id"]);
        strAnswer values = Get("values", {{"machine_id", id}});
        ASSERT_EQ(kHttpOk, values.status) << values.body.substr(0, 300);
        EXPECT_EQ(machine.json["variables"].size(), values.json.size());

        const std::string variableId = machine.json["variables"][0]["id"];
        strAnswer trend = Get(
            "trend", {{"machine_id", id}, {"variable_id", variableId}, {"from", from}, {"to", to}});
        ASSERT_EQ(kHttpOk, trend.status) << trend.body.substr(0, 300);
        EXPECT_FALSE(trend.json.empty()) << variableId;
        const std::string analysisId = machine.json["analysis"][0]["id"];
        strAnswer list = Get("analysis_list", {{"machine_id", id},
                                               {"analysis_id", analysisId},
                                               {"from", from},
                                               {"to", to},
                                               {"max_items", "1"}});
        ASSERT_EQ(kHttpOk, list.status) << list.body.substr(0, 300);
        ASSERT_EQ(1u, list.json.size()) << analysisId;
        strAnswer analysis =
            Get("analysis",
                {{"machine_id", id}, {"analysis_id", analysisId}, {"time", list.json[0]["time"]}});
        ASSERT_EQ(kHttpOk, analysis.status) << analysis.body.substr(0, 300);
        EXPECT_EQ(id, analysis.json["machine"]["id"]);
    }
    // The longest id takes 49 of the 50 characters a parameter may have once
    // its quotes, backslash and tab are escaped; one more is another machine.
    strAnswer longer = Get("machine", {{"machine_id", std::string(kMachineFull) + "x"}});
    EXPECT_EQ(kHttpServiceError, longer.status);
}

// The later twin's variable and definition are found by the fall-through
// rule, but the client refuses to ask about them for the first twin, which
// is the machine of the query: the answers are empty, as for any record the
// machine lacks. The first twin's own records are answered.
TEST_F(EdgeEndToEndTest, RecordsOfTheLaterTwinGiveEmptyAnswers) {
    const struct {
        int variable;
        const char* analysis;
        bool answered;
    } kCases[] = {
        {kVarFirstTwinVelocity, kAnalysisFirstTwin, true},
        {kVarLaterTwinVelocity, kAnalysisLaterTwin, false},
    };
    for (const auto& query : kCases) {
        SCOPED_TRACE(query.analysis);
        strAnswer trend = Get("trend", {{"machine_id", kMachineTwin},
                                        {"variable_id", std::to_string(query.variable)},
                                        {"from", TimeText(kNow - kDay)},
                                        {"to", TimeText(kNow)}});
        ASSERT_EQ(kHttpOk, trend.status) << trend.body.substr(0, 300);
        EXPECT_EQ(query.answered, !trend.json.empty());
        strAnswer list = Get("analysis_list", {{"machine_id", kMachineTwin},
                                               {"analysis_id", query.analysis},
                                               {"from", TimeText(kNow - kDay)},
                                               {"to", TimeText(kNow)}});
        ASSERT_EQ(kHttpOk, list.status) << list.body.substr(0, 300);
        EXPECT_EQ(query.answered, !list.json.empty());
        const int32_t time = list.json.empty() ? kNow : TimeOf(list.json[0]);
        strAnswer analysis = Get("analysis", {{"machine_id", kMachineTwin},
                                              {"analysis_id", query.analysis},
                                              {"time", TimeText(time)}});
        ASSERT_EQ(kHttpOk, analysis.status) << analysis.body.substr(0, 300);
        EXPECT_EQ(query.answered, !analysis.json.empty());
    }
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

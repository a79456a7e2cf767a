// The documents of the data resources, written from hand-built catalogues:
// member order and types, the odd records a server may hold (texts with
// quotes, backslashes and Windows-1252 letters, NaN values, status codes
// without a word) and the queries that stop part-way. Every document must
// parse with a strict JSON parser.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "FakeCatalogue.h"
#include "api/Times.h"
#include "api/resources/Analysis.h"
#include "api/resources/Machine.h"
#include "api/resources/Overview.h"
#include "api/resources/Trend.h"

namespace {

using ordered_json = nlohmann::ordered_json;

constexpr uint32_t kBufferSize = 200000;

// The output record over a buffer of its own.
class Output {
  public:
    explicit Output(uint32_t size = kBufferSize) : buffer(size) {
        JsonInit(&output, buffer.data(), size);
    }
    strJsonOutput* operator&() { return &output; }
    std::string Text() const { return buffer.data(); }
    // Parses strictly; a failure is reported with the text.
    ordered_json Parse() const {
        try {
            return ordered_json::parse(Text());
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what() << " in " << Text();
            return ordered_json();
        }
    }

  private:
    std::vector<char> buffer;
    strJsonOutput output;
};

std::vector<std::string> Keys(const ordered_json& object) {
    std::vector<std::string> keys;
    for (auto item = object.begin(); item != object.end(); ++item) keys.push_back(item.key());
    return keys;
}

using Names = std::vector<std::string>;

// A group and a machine whose texts hold everything that needs care in JSON.
const char* const kOddGroup = "Planta \"Norte\" \\ Ventilaci\xF3n";
const char* const kOddGroupUtf8 = "Planta \"Norte\" \\ Ventilaci\xC3\xB3n";
const char* const kOddMachine = "Bomba \"A\\B\" Impulsi\xF3n";
const char* const kOddMachineUtf8 = "Bomba \"A\\B\" Impulsi\xC3\xB3n";

// One machine with two points, four variables (DIGITAL, ANALOG with NaN,
// a point variable, a point variable with a status without a word) and two
// analysis definitions.
class MachineDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddGroup(kOddGroup);
        machine = catalogue.AddMachine(kOddMachine, 4);
        CopyText(points[0].id, "1H");
        CopyText(points[0].name, "Motor \"lado\" libre");
        points[0].status = kStatusAlarm;
        CopyText(points[1].id, "2A");
        CopyText(points[1].name, "Sin variables");
        points[1].status = kStatusUndefined;
        machine->points = points;
        machine->countOfPoints = 2;

        strVariable* variables = machine->variables;
        CopyText(variables[0].type, "DIGITAL");
        CopyText(variables[0].name, "Motor en marcha");
        variables[0].value = std::numeric_limits<float>::quiet_NaN();
        CopyText(variables[1].name, "Presi\xF3n");
        CopyText(variables[1].units, "bar");
        variables[1].value = std::numeric_limits<float>::quiet_NaN();
        variables[1].highHigh = std::numeric_limits<float>::infinity();
        variables[1].high = 1000000.0f;
        variables[1].low = 0.5f;
        variables[1].highEnable = 1;
        variables[1].status = kStatusNormal;
        CopyText(variables[2].type, "VIBRATION");
        CopyText(variables[2].name, "Velocidad");
        CopyText(variables[2].units, "mm/s");
        variables[2].point = &points[0];
        variables[2].value = 2.5f;
        variables[2].status = kStatusAlarm;
        CopyText(variables[3].type, "VIBRATION");
        variables[3].point = &points[0];
        variables[3].status = 3;

        CopyText(definitions[0].id, "102/S");
        definitions[0].type = 'S';
        definitions[0].point = &points[0];
        CopyText(definitions[0].magnitude, "Velocidad");
        CopyText(definitions[0].units, "mm/s");
        definitions[0].fmax = 1000.0f;
        definitions[0].lines = 800;
        definitions[0].averages = 4;
        CopyText(definitions[1].id, "102/W");
        definitions[1].type = 'W';
        definitions[1].point = &points[0];
        definitions[1].fs = 2560.0f;
        definitions[1].samples = 2048;
        machine->analisis = definitions;
        machine->countOfAnalisis = 2;
    }

    FakeCatalogue catalogue;
    strMachine* machine = nullptr;
    strPoint points[2] = {};
    strAnalisis definitions[2] = {};
};

TEST_F(MachineDocumentTest, OddTextsAndNumbersGiveValidJsonWithMembersInOrder) {
    Output output;
    WriteMachineDocument(catalogue, &output, kOddMachineUtf8);
    ordered_json document = output.Parse();

    EXPECT_EQ((Names{"id", "name", "status", "group_id", "group_name", "points", "variables",
                     "analysis"}),
              Keys(document));
    EXPECT_EQ(kOddMachineUtf8, document["id"]);
    EXPECT_EQ(kOddMachineUtf8, document["name"]);
    EXPECT_EQ(kOddGroupUtf8, document["group_id"]);
    EXPECT_EQ("undefined", document["status"]);

    const ordered_json& variables = document["variables"];
    ASSERT_EQ(4u, variables.size());
    // DIGITAL: no units, status or levels; NaN is not on.
    EXPECT_EQ((Names{"id", "name", "type", "value"}), Keys(variables[0]));
    EXPECT_EQ(false, variables[0]["value"]);
    // ANALOG: no point; NaN and infinite levels are null, the rest %g.
    EXPECT_EQ(
        (Names{"id", "name", "type", "unit", "status", "low_low_enable", "low_enable",
               "high_enable", "high_high_enable", "low_low", "low", "high", "high_high", "value"}),
        Keys(variables[1]));
    EXPECT_EQ("Presi\xC3\xB3n", variables[1]["name"]);
    EXPECT_TRUE(variables[1]["value"].is_null());
    EXPECT_TRUE(variables[1]["high_high"].is_null());
    EXPECT_EQ(true, variables[1]["high_enable"]);
    EXPECT_EQ(false, variables[1]["low_enable"]);
    EXPECT_NE(std::string::npos, output.Text().find("\"high\":1e+06,\"high_high\":null"));
    EXPECT_NE(std::string::npos, output.Text().find("\"low\":0.5,"));
    // A point variable names its point.
    EXPECT_EQ("1H", variables[2]["point_id"]);
    EXPECT_EQ("Motor \"lado\" libre", variables[2]["point_name"]);
    EXPECT_EQ(2.5, variables[2]["value"]);

    const ordered_json& analysis = document["analysis"];
    ASSERT_EQ(2u, analysis.size());
    EXPECT_EQ((Names{"id", "type", "fmax", "lines", "averages", "magnitude", "unit", "status",
                     "point_id", "point_name"}),
              Keys(analysis[0]));
    EXPECT_EQ(800, analysis[0]["lines"]);
    EXPECT_EQ((Names{"id", "type", "fs", "samples", "magnitude", "unit", "status", "point_id",
                     "point_name"}),
              Keys(analysis[1]));
    EXPECT_EQ("waveform", analysis[1]["type"]);
}

TEST_F(MachineDocumentTest, UpdateRaisesPointsFromTheirVariablesOnly) {
    points[0].status = kStatusUndefined;
    catalogue.nextStatus[machine] = kStatusAlarm;
    ASSERT_TRUE(UpdateMachine(catalogue, kOddMachineUtf8));
    Output output;
    WriteMachineDocument(catalogue, &output, kOddMachineUtf8);
    ordered_json document = output.Parse();
    EXPECT_EQ("alarm", document["status"]);
    // 1H has an alarm variable and one whose status 3 is above trip.
    EXPECT_EQ(3, points[0].status);
    EXPECT_EQ("undefined", document["points"][1]["status"]);
    EXPECT_EQ((Names{"id", "name", "status"}), Keys(document["points"][0]));
}

TEST_F(MachineDocumentTest, ValuesFollowTheVariablesWithBooleansForDigital) {
    Output output;
    WriteValues(catalogue, &output, kOddMachineUtf8);
    ordered_json values = output.Parse();
    ASSERT_EQ(4u, values.size());
    EXPECT_EQ((Names{"id", "status", "value"}), Keys(values[0]));
    EXPECT_EQ("100", values[0]["id"]);
    EXPECT_EQ(false, values[0]["value"]);
    EXPECT_TRUE(values[1]["value"].is_null());
    EXPECT_EQ("alarm", values[2]["status"]);
    EXPECT_EQ(2.5, values[2]["value"]);
    machine->variables[0].value = 1.0f;
    Output on;
    WriteValues(catalogue, &on, kOddMachineUtf8);
    EXPECT_EQ(true, on.Parse()[0]["value"]);
}

TEST_F(MachineDocumentTest, MachineWithoutRecordsHasEmptyArrays) {
    catalogue.AddMachine("Bare");
    Output output;
    WriteMachineDocument(catalogue, &output, "Bare");
    EXPECT_NE(std::string::npos, output.Text().find(",\"points\":[],\"variables\":[],"
                                                    "\"analysis\":[]}"));
    Output values;
    WriteValues(catalogue, &values, "Bare");
    EXPECT_EQ("[]", values.Text());
}

// Three groups: one with a duplicate id and an odd name, one empty.
class OverviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddGroup("Bombeo");
        first = catalogue.AddMachine("P-1");
        first->status = kStatusAlarm;
        catalogue.AddMachine(kOddMachine)->status = kStatusTrip;
        catalogue.AddGroup("Reserva");
        catalogue.AddGroup(kOddGroup);
        second = catalogue.AddMachine("P-1");
        second->status = kStatusNormal;
        CopyText(second->name, "Second P-1");
        catalogue.AddMachine("X-9")->status = 3;
    }
    std::vector<std::string> MachineIds(const char* groupId, const char* status) {
        Output output;
        WriteMachines(catalogue, &output, groupId, status);
        std::vector<std::string> ids;
        for (const ordered_json& entry : output.Parse()) ids.push_back(entry["id"]);
        return ids;
    }

    FakeCatalogue catalogue;
    strMachine* first = nullptr;
    strMachine* second = nullptr;
};

TEST_F(OverviewTest, GroupsListEveryGroupWithItsStatusWord) {
    catalogue.GetGroup(0)->status = kStatusTrip;
    Output output;
    WriteGroups(catalogue, &output);
    ordered_json groups = output.Parse();
    ASSERT_EQ(3u, groups.size());
    EXPECT_EQ((Names{"name", "id", "status"}), Keys(groups[0]));
    EXPECT_EQ("trip", groups[0]["status"]);
    EXPECT_EQ("Reserva", groups[1]["name"]);
    EXPECT_EQ("undefined", groups[1]["status"]);
    EXPECT_EQ(kOddGroupUtf8, groups[2]["id"]);
}

TEST_F(OverviewTest, MachinesListEveryMachineFilledFromTheFirstWithItsId) {
    Output output;
    WriteMachines(catalogue, &output, "", "");
    ordered_json machines = output.Parse();
    ASSERT_EQ(4u, machines.size());
    EXPECT_EQ((Names{"name", "id", "status", "group_id", "group_name"}), Keys(machines[0]));
    EXPECT_EQ(kOddMachineUtf8, machines[1]["id"]);
    EXPECT_EQ("trip", machines[1]["status"]);
    // The second P-1 is listed, but filled from the first.
    EXPECT_EQ("P-1", machines[2]["name"]);
    EXPECT_EQ("alarm", machines[2]["status"]);
    EXPECT_EQ("Bombeo", machines[2]["group_id"]);
}

TEST_F(OverviewTest, MachineFiltersAreExactAndCombine) {
    EXPECT_EQ((std::vector<std::string>{"P-1", "X-9"}), MachineIds(kOddGroupUtf8, ""));
    EXPECT_EQ((std::vector<std::string>{"P-1"}), MachineIds("", "alarm"));
    // Each machine passes the filters on its own record.
    EXPECT_EQ((std::vector<std::string>{"P-1"}), MachineIds("", "normal"));
    EXPECT_EQ((std::vector<std::string>{}), MachineIds("", "ALARM"));
    EXPECT_EQ((std::vector<std::string>{}), MachineIds("bombeo", ""));
    EXPECT_EQ((std::vector<std::string>{}), MachineIds("Reserva", ""));
    EXPECT_EQ((std::vector<std::string>{kOddMachineUtf8}), MachineIds("Bombeo", "trip"));
    EXPECT_EQ((std::vector<std::string>{}), MachineIds("Bombeo", "normal"));
    // A status without a word passes no status filter.
    EXPECT_EQ((std::vector<std::string>{}), MachineIds("", "undefined"));
}

class TrendDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddGroup("G");
        machine = catalogue.AddMachine("P-1", 2);
        CopyText(machine->variables[1].type, "DIGITAL");
        request = {};
        CopyText(request.machineId, "P-1");
        CopyText(request.variableId, "100");
        request.from = 1650882600;  // 2022-04-25T10:30:00Z
        request.to = request.from + 3600;
        request.maxItems = 3;
        request.mapped = true;
        for (int i = 0; i < 5; ++i) {
            float value =
                i == 1 ? std::numeric_limits<float>::quiet_NaN() : 0.5f * static_cast<float>(i);
            catalogue.samples.push_back({request.from + 600 * i, value});
        }
    }
    FakeCatalogue catalogue;
    strMachine* machine = nullptr;
    strTrendRequest request;
};

TEST_F(TrendDocumentTest, WritesAtMostMaxItemsSamples) {
    Output output;
    ASSERT_TRUE(WriteTrend(catalogue, &output, request));
    EXPECT_EQ(
        "[{\"time\":\"2022-04-25T10:30:00Z\",\"value\":0},"
        "{\"time\":\"2022-04-25T10:40:00Z\",\"value\":null},"
        "{\"time\":\"2022-04-25T10:50:00Z\",\"value\":1}]",
        output.Text());
    EXPECT_EQ(request.from, catalogue.trendQuery.from);
    EXPECT_EQ(request.to, catalogue.trendQuery.to);
    EXPECT_EQ(3, catalogue.trendQuery.maxItems);
    EXPECT_TRUE(catalogue.trendQuery.mapped);

    request.maxItems = 10;
    request.mapped = false;
    Output all;
    ASSERT_TRUE(WriteTrend(catalogue, &all, request));
    EXPECT_EQ(5u, all.Parse().size());
    EXPECT_FALSE(catalogue.trendQuery.mapped);
}

TEST_F(TrendDocumentTest, ZeroItemsStillAsksTheServer) {
    request.maxItems = 0;
    Output output;
    ASSERT_TRUE(WriteTrend(catalogue, &output, request));
    EXPECT_EQ("[]", output.Text());
    EXPECT_EQ(1, catalogue.trendQueries);
}

TEST_F(TrendDocumentTest, DigitalSamplesAreBooleans) {
    CopyText(request.variableId, "101");
    Output output;
    ASSERT_TRUE(WriteTrend(catalogue, &output, request));
    ordered_json samples = output.Parse();
    ASSERT_EQ(3u, samples.size());
    EXPECT_EQ(false, samples[0]["value"]);
    EXPECT_EQ(false, samples[1]["value"]);  // NaN is not on
    EXPECT_EQ(true, samples[2]["value"]);
}

TEST_F(TrendDocumentTest, UnknownMachineOrVariableGivesAnEmptyArrayWithoutAQuery) {
    CopyText(request.variableId, "102");
    Output noVariable;
    EXPECT_TRUE(WriteTrend(catalogue, &noVariable, request));
    EXPECT_EQ("[]", noVariable.Text());
    CopyText(request.variableId, "100");
    CopyText(request.machineId, "p-1");
    Output noMachine;
    EXPECT_TRUE(WriteTrend(catalogue, &noMachine, request));
    EXPECT_EQ("[]", noMachine.Text());
    EXPECT_EQ(0, catalogue.trendQueries);
}

TEST_F(TrendDocumentTest, SampleThatCannotBeReadEndsTheArrayWellFormed) {
    catalogue.samplesHandedOut = 2;
    Output output;
    ASSERT_TRUE(WriteTrend(catalogue, &output, request));
    EXPECT_EQ(2u, output.Parse().size());
}

TEST_F(TrendDocumentTest, FailedQueryIsReported) {
    catalogue.trendFails = true;
    Output output;
    EXPECT_FALSE(WriteTrend(catalogue, &output, request));
}

// A definition with stored results; each result carries three values.
class AnalysisDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddGroup("G");
        machine = catalogue.AddMachine("P-1", 1);
        CopyText(point.id, "1H");
        CopyText(point.name, "Punto \"1\"");
        machine->points = &point;
        machine->countOfPoints = 1;
        CopyText(definitions[0].id, "100/S");
        definitions[0].type = 'S';
        definitions[0].point = &point;
        CopyText(definitions[0].magnitude, "Velocidad");
        CopyText(definitions[0].units, "mm/s");
        CopyText(definitions[1].id, "100/W");
        definitions[1].type = 'W';
        definitions[1].point = &point;
        machine->analisis = definitions;
        machine->countOfAnalisis = 2;
        catalogue.values = {1.5f, std::numeric_limits<float>::quiet_NaN(), 1234567.0f};
        list = {};
        CopyText(list.machineId, "P-1");
        CopyText(list.analysisId, "100/S");
        one = {};
        CopyText(one.machineId, "P-1");
        CopyText(one.analysisId, "100/S");
    }
    void Store(int32_t time, char type = 'E') {
        strAnalisisData result = {};
        result.type = type;
        result.time = time;
        result.count = 3;
        result.rpm = 2975.0f;
        result.fs = 2560.0f;
        result.fmax = 1000.0f;
        result.kw = 75.0f;
        catalogue.stored.push_back(result);
    }

    FakeCatalogue catalogue;
    strMachine* machine = nullptr;
    strPoint point = {};
    strAnalisis definitions[2] = {};
    strListRequest list;
    strAnalysisRequest one;
};

TEST_F(AnalysisDocumentTest, ListWalksBackwardsOneStepBeforeTheLastEntry) {
    for (int32_t t = 1000; t <= 2000; t += 30) Store(t);
    list.from = 1000;
    list.to = 2000;
    list.maxItems = 10;  // step (2000 - 1000) / 10 = 100 seconds
    Output output;
    ASSERT_TRUE(WriteAnalysisList(catalogue, &output, list));
    ordered_json items = output.Parse();

    std::vector<long> uppers;
    for (const FakeCatalogue::strWindow& window : catalogue.windows) {
        EXPECT_EQ(1000, window.from);
        uppers.push_back(window.to);
    }
    // Stored at 1000, 1030, ... 1990: each window ends 100 s before the last
    // found (1990, 1870, 1750 ...), until it would end before 1000.
    EXPECT_EQ((std::vector<long>{2000, 1890, 1770, 1650, 1530, 1410, 1290, 1170, 1050}), uppers);
    ASSERT_EQ(9u, items.size());
    EXPECT_EQ((Names{"time", "point_name", "analysis_id", "magnitude", "units", "type", "lines",
                     "fmin", "fmax", "rpm", "kw"}),
              Keys(items[0]));
    EXPECT_EQ("1970-01-01T00:33:10Z", items[0]["time"]);
    EXPECT_EQ("Punto \"1\"", items[0]["point_name"]);
    EXPECT_EQ(3, items[0]["lines"]);
    EXPECT_EQ("1970-01-01T00:17:10Z", items[8]["time"]);
}

TEST_F(AnalysisDocumentTest, ListStopsAtMaxItemsAndAtTheFirstEmptyWindow) {
    for (int32_t t = 1000; t <= 2000; t += 30) Store(t);
    list.from = 1000;
    list.to = 1005;  // step 0 becomes 1
    list.maxItems = 10;
    Output short_span;
    ASSERT_TRUE(WriteAnalysisList(catalogue, &short_span, list));
    // Found at 1000; the next window would end at 999, before the span.
    EXPECT_EQ(1u, short_span.Parse().size());
    EXPECT_EQ(1u, catalogue.windows.size());

    catalogue.windows.clear();
    list.to = 2000;
    list.maxItems = 2;
    Output two;
    ASSERT_TRUE(WriteAnalysisList(catalogue, &two, list));
    EXPECT_EQ(2u, two.Parse().size());
    EXPECT_EQ(2u, catalogue.windows.size());
}

TEST_F(AnalysisDocumentTest, ListOfAnUnknownDefinitionIsEmpty) {
    Store(1500);
    list.from = 1000;
    list.to = 2000;
    list.maxItems = 10;
    CopyText(list.analysisId, "100/s");
    Output output;
    ASSERT_TRUE(WriteAnalysisList(catalogue, &output, list));
    EXPECT_EQ("[]", output.Text());
    EXPECT_TRUE(catalogue.windows.empty());
}

TEST_F(AnalysisDocumentTest, ListQueryFailingPartWayIsReported) {
    for (int32_t t = 1000; t <= 2000; t += 30) Store(t);
    list.from = 1000;
    list.to = 2000;
    list.maxItems = 10;
    catalogue.failAtAnalysis = 3;
    Output output;
    EXPECT_FALSE(WriteAnalysisList(catalogue, &output, list));
}

TEST_F(AnalysisDocumentTest, OtherTypeLetterHasNoTypeMembers) {
    Store(1500, 'X');
    list.from = 1000;
    list.to = 2000;
    list.maxItems = 1;
    Output output;
    ASSERT_TRUE(WriteAnalysisList(catalogue, &output, list));
    EXPECT_EQ((Names{"time", "point_name", "analysis_id", "magnitude", "units"}),
              Keys(output.Parse()[0]));
}

TEST_F(AnalysisDocumentTest, AnalysisAsksForTheSecondEndingAtTheTime) {
    Store(1500);
    one.time = 1500;
    Output output;
    ASSERT_TRUE(WriteAnalysis(catalogue, &output, one));
    ASSERT_EQ(1u, catalogue.windows.size());
    EXPECT_EQ(1499, catalogue.windows[0].from);
    EXPECT_EQ(1500, catalogue.windows[0].to);
    ordered_json document = output.Parse();
    EXPECT_EQ((Names{"time", "machine", "point", "analysis", "data"}), Keys(document));
    EXPECT_EQ((Names{"id", "name"}), Keys(document["machine"]));
    EXPECT_EQ("Punto \"1\"", document["point"]["name"]);
    EXPECT_EQ((Names{"id", "magnitude", "units", "type", "lines", "fmin", "fmax", "rpm", "kw"}),
              Keys(document["analysis"]));
    EXPECT_NE(std::string::npos, output.Text().find("\"data\":[1.5,null,1.23457e+06]}"));

    one.time = 1499;
    Output before;
    ASSERT_TRUE(WriteAnalysis(catalogue, &before, one));
    EXPECT_EQ("{}", before.Text());
}

TEST_F(AnalysisDocumentTest, WaveformHeader) {
    Store(1500, 'F');
    one.time = 1501;
    CopyText(one.analysisId, "100/W");
    Output output;
    ASSERT_TRUE(WriteAnalysis(catalogue, &output, one));
    ordered_json document = output.Parse();
    EXPECT_EQ((Names{"id", "magnitude", "units", "type", "samples", "fs", "rpm"}),
              Keys(document["analysis"]));
    EXPECT_EQ(3, document["analysis"]["samples"]);
}

TEST_F(AnalysisDocumentTest, DataArrayIsClosedWhenTheValuesStopEarly) {
    Store(1500);
    one.time = 1500;
    catalogue.valuesHandedOut = 1;
    Output output;
    ASSERT_TRUE(WriteAnalysis(catalogue, &output, one));
    ordered_json document = output.Parse();
    EXPECT_EQ(ordered_json::array({1.5}), document["data"]);
}

// The largest result a reply can carry, with values of the widest form,
// still fits the service's results buffer.
TEST_F(AnalysisDocumentTest, LargestResultFitsTheServiceBuffer) {
    constexpr int kLargestResult = 65549;
    constexpr uint32_t kServiceResultsSize = 1000000;
    Store(1500);
    catalogue.stored.back().count = kLargestResult;
    catalogue.values.assign(kLargestResult, -1.23457e+06f);
    one.time = 1500;
    Output output(kServiceResultsSize);
    ASSERT_TRUE(WriteAnalysis(catalogue, &output, one));
    ordered_json document = output.Parse();
    ASSERT_EQ(static_cast<size_t>(kLargestResult), document["data"].size());
    EXPECT_EQ(kLargestResult, document["analysis"]["lines"]);
}

TEST_F(AnalysisDocumentTest, AnalysisQueryFailureIsReported) {
    Store(1500);
    one.time = 1500;
    catalogue.failAtAnalysis = 1;
    Output output;
    EXPECT_FALSE(WriteAnalysis(catalogue, &output, one));
}

// Two machines with the same id: the first has variable 100 and definition
// 100/S, the later one variables 100 and 101 and definition 101/S. The
// machine of a query is the first; its variable or definition is found in
// the first machine with that id that has it. The client refuses a pair from
// two machines without an exchange, and nothing is found: an empty answer,
// not a failure.
class TwinMachinesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddGroup("G");
        strMachine* first = catalogue.AddMachine("P-1", 1);
        catalogue.AddGroup("H");
        strMachine* later = catalogue.AddMachine("P-1", 2);
        Define(first, &definitions[0], "100/S");
        Define(later, &definitions[1], "101/S");
        catalogue.samples.push_back({1500, 1.0f});
        strAnalisisData result = {};
        result.type = 'E';
        result.time = 1500;
        result.count = 1;
        catalogue.stored.push_back(result);
        catalogue.values = {2.0f};
        CopyText(trend.machineId, "P-1");
        trend.from = list.from = 1000;
        trend.to = list.to = 2000;
        trend.maxItems = 10;
        CopyText(list.machineId, "P-1");
        list.maxItems = 1;
        CopyText(one.machineId, "P-1");
        one.time = 1500;
    }
    void Define(strMachine* machine, strAnalisis* definition, const char* id) {
        CopyText(definition->id, id);
        definition->type = 'S';
        definition->point = &point;
        machine->analisis = definition;
        machine->countOfAnalisis = 1;
    }
    // The document a writer gives for a request; the writer must not fail.
    template <class Request, class Writer>
    ordered_json Written(Writer write, const Request& request) {
        Output output;
        EXPECT_TRUE(write(catalogue, &output, request));
        return output.Parse();
    }

    FakeCatalogue catalogue;
    strPoint point = {};
    strAnalisis definitions[2] = {};
    strTrendRequest trend = {};
    strListRequest list = {};
    strAnalysisRequest one = {};
};

TEST_F(TwinMachinesTest, RecordOfTheLaterMachineGivesAnEmptyAnswerWithoutAQuery) {
    const struct {
        const char* variableId;
        const char* analysisId;
        bool ofTheFirst;
    } kCases[] = {
        {"100", "100/S", true},
        {"101", "101/S", false},
    };
    for (const auto& query : kCases) {
        SCOPED_TRACE(query.variableId);
        catalogue.trendQueries = 0;
        catalogue.windows.clear();
        const bool asked = query.ofTheFirst;
        CopyText(trend.variableId, query.variableId);
        CopyText(list.analysisId, query.analysisId);
        CopyText(one.analysisId, query.analysisId);
        EXPECT_EQ(asked ? 1u : 0u, Written(WriteTrend<FakeCatalogue>, trend).size());
        EXPECT_EQ(asked ? 1 : 0, catalogue.trendQueries);
        EXPECT_EQ(asked ? 1u : 0u, Written(WriteAnalysisList<FakeCatalogue>, list).size());
        EXPECT_EQ(asked ? 1u : 0u, catalogue.windows.size());
        EXPECT_EQ(asked, !Written(WriteAnalysis<FakeCatalogue>, one).empty());
        EXPECT_EQ(asked ? 2u : 0u, catalogue.windows.size());
    }
}

}  // namespace

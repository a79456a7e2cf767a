// analysis_list and analysis over HTTP against the demo plant.
#include <string>

#include "EndToEnd.h"
#include "api/JsonOutput.h"

namespace {

using namespace tesmosim::demo;

class AnalysisEndToEndTest : public EndToEndTest {
  protected:
    static Pairs List(const char* machine, const char* analysis, int32_t from, int32_t to,
                      const Pairs& extra = {}) {
        Pairs pairs = {{"machine_id", machine},
                       {"analysis_id", analysis},
                       {"from", TimeText(from)},
                       {"to", TimeText(to)}};
        pairs.insert(pairs.end(), extra.begin(), extra.end());
        return pairs;
    }
    static Pairs One(const char* machine, const char* analysis, int32_t time) {
        return {{"machine_id", machine}, {"analysis_id", analysis}, {"time", TimeText(time)}};
    }
    // The time of the newest stored result of a definition before "now".
    int32_t NewestTime(const char* machine, const char* analysis) {
        strAnswer answer =
            Get("analysis_list", List(machine, analysis, kNow - kDay, kNow, {{"max_items", "1"}}));
        EXPECT_EQ(1u, answer.json.size());
        return answer.json.empty() ? 0 : TimeOf(answer.json[0]);
    }
};

TEST_F(AnalysisEndToEndTest, ListIsNewestFirstAndThinnedOut) {
    const int32_t from = kNow - 2 * kDay;
    strAnswer answer = Get("analysis_list", List(kMachineNormal, kAnalysisSpectrum, from, kNow));
    ASSERT_EQ(kHttpOk, answer.status);
    // Stored every four hours: twelve in two days; a step of 4.8 hours keeps fewer.
    ASSERT_GE(answer.json.size(), 5u);
    ASSERT_LE(answer.json.size(), 10u);
    const int32_t step = 2 * kDay / 10;
    int32_t previous = kNow + step;
    for (const ordered_json& item : answer.json) {
        EXPECT_EQ((Names{"time", "point_name", "analysis_id", "magnitude", "units", "type", "lines",
                         "fmin", "fmax", "rpm", "kw"}),
                  Keys(item));
        int32_t time = TimeOf(item);
        EXPECT_GE(time, from);
        EXPECT_LE(time, previous - step);
        previous = time;
        EXPECT_EQ(kAnalysisSpectrum, item["analysis_id"]);
        EXPECT_EQ("spectrum", item["type"]);
        EXPECT_EQ(kSpectrumLines, item["lines"]);
        EXPECT_EQ(kPointMotorFreeEnd, item["point_name"]);
    }
}

TEST_F(AnalysisEndToEndTest, ListItemCounts) {
    strAnswer hundred = Get("analysis_list", List(kMachineNormal, kAnalysisWaveform,
                                                  kNow - 30 * kDay, kNow, {{"max_items", "100"}}));
    ASSERT_EQ(kHttpOk, hundred.status);
    EXPECT_GT(hundred.json.size(), 10u);
    EXPECT_LE(hundred.json.size(), 100u);
    EXPECT_EQ((Names{"time", "point_name", "analysis_id", "magnitude", "units", "type", "samples",
                     "fs", "rpm"}),
              Keys(hundred.json[0]));
    EXPECT_EQ(kWaveformSamples, hundred.json[0]["samples"]);

    int32_t newest = NewestTime(kMachineNormal, kAnalysisSpectrum);
    strAnswer instant =
        Get("analysis_list", List(kMachineNormal, kAnalysisSpectrum, newest, newest));
    ASSERT_EQ(1u, instant.json.size());
    EXPECT_EQ(newest, TimeOf(instant.json[0]));
}

TEST_F(AnalysisEndToEndTest, ListOfNothingIsEmpty) {
    const int32_t from = kNow - 2 * kDay;
    EXPECT_EQ("[]", Get("analysis_list", List(kMachineStopped, "201/S", from, kNow)).body);
    EXPECT_EQ("[]", Get("analysis_list", List(kMachineNormal, "1/s", from, kNow)).body);
    EXPECT_EQ("[]", Get("analysis_list", List("P-999", kAnalysisSpectrum, from, kNow)).body);
    EXPECT_EQ("[]", Get("analysis_list",
                        List(kMachineNormal, kAnalysisSpectrum, kNow + 3600, kNow + 7200))
                        .body);
}

TEST_F(AnalysisEndToEndTest, ListUsageErrors) {
    const int32_t from = kNow - kDay;
    const Pairs kBad[] = {
        List(kMachineNormal, kAnalysisSpectrum, from, kNow, {{"max_items", "0"}}),
        List(kMachineNormal, kAnalysisSpectrum, from, kNow, {{"max_items", "-3"}}),
        List(kMachineNormal, kAnalysisSpectrum, from, kNow, {{"max_items", "101"}}),
        List(kMachineNormal, kAnalysisSpectrum, kNow, from),
        List("", kAnalysisSpectrum, from, kNow),
        List(kMachineNormal, "", from, kNow),
        {{"machine_id", kMachineNormal}, {"analysis_id", kAnalysisSpectrum}, {"to", "x"}},
        {{"machine_id", kMachineNormal}, {"from", TimeText(from)}, {"to", TimeText(kNow)}},
    };
    for (const Pairs& pairs : kBad) {
        strAnswer answer = Get("analysis_list", pairs);
        ExpectError(answer, kHttpBadRequest, kErrorUseAnalysisList);
        EXPECT_EQ(kMessageUseAnalysisList, answer.json.value("error", ""));
    }
}

TEST_F(AnalysisEndToEndTest, AnalysisIsTheResultStoredInTheSecondEndingAtTheTime) {
    int32_t stored = NewestTime(kMachineNormal, kAnalysisSpectrum);
    ASSERT_NE(0, stored);
    for (int32_t time : {stored, stored + 1}) {
        strAnswer answer = Get("analysis", One(kMachineNormal, kAnalysisSpectrum, time));
        ASSERT_EQ(kHttpOk, answer.status);
        const ordered_json& document = answer.json;
        EXPECT_EQ((Names{"time", "machine", "point", "analysis", "data"}), Keys(document));
        EXPECT_EQ(stored, TimeOf(document));
        EXPECT_EQ(ordered_json::parse(std::string("{\"id\":\"") + kMachineNormal +
                                      "\",\"name\":\"" + kMachineNormal + "\"}"),
                  document["machine"]);
        EXPECT_EQ("1H", document["point"]["id"]);
        EXPECT_EQ((Names{"id", "magnitude", "units", "type", "lines", "fmin", "fmax", "rpm", "kw"}),
                  Keys(document["analysis"]));
        EXPECT_EQ(kSpectrumLines, document["analysis"]["lines"]);
        EXPECT_EQ(static_cast<size_t>(kSpectrumLines), document["data"].size());
    }
    for (int32_t time : {stored - 1, stored + 2}) {
        strAnswer answer = Get("analysis", One(kMachineNormal, kAnalysisSpectrum, time));
        EXPECT_EQ(kHttpOk, answer.status);
        EXPECT_EQ("{}", answer.body);
    }
}

TEST_F(AnalysisEndToEndTest, LargestResultsOfThePlant) {
    // The gearbox has the plant's longest spectrum and waveform.
    strAnswer machine = Get("machine", {{"machine_id", kMachineBearingFault}});
    ASSERT_EQ(kHttpOk, machine.status);
    std::string largest;
    int lines = 0;
    for (const ordered_json& definition : machine.json["analysis"]) {
        if (definition["type"] == "spectrum" && definition["lines"] > lines) {
            lines = definition["lines"];
            largest = definition["id"];
        }
    }
    ASSERT_GE(lines, 6400);
    std::string waveform = largest.substr(0, largest.size() - 1) + "W";
    for (const std::string& id : {largest, waveform}) {
        SCOPED_TRACE(id);
        int32_t stored = NewestTime(kMachineBearingFault, id.c_str());
        strAnswer answer = Get("analysis", One(kMachineBearingFault, id.c_str(), stored));
        ASSERT_EQ(kHttpOk, answer.status);
        const ordered_json& header = answer.json["analysis"];
        size_t count = header.value("lines", header.value("samples", 0u));
        EXPECT_GE(count, static_cast<size_t>(lines));
        EXPECT_EQ(count, answer.json["data"].size());
        for (const ordered_json& value : answer.json["data"]) ASSERT_TRUE(value.is_number());
    }
}

TEST_F(AnalysisEndToEndTest, AnalysisOfNothingIsEmpty) {
    EXPECT_EQ("{}", Get("analysis", One(kMachineStopped, "201/S", kNow)).body);
    EXPECT_EQ("{}", Get("analysis", One(kMachineNormal, "1/X", kNow)).body);
    EXPECT_EQ("{}", Get("analysis", One("P-999", kAnalysisSpectrum, kNow)).body);
}

TEST_F(AnalysisEndToEndTest, AnalysisUsageErrors) {
    const Pairs kBad[] = {
        {{"machine_id", kMachineNormal}, {"analysis_id", kAnalysisSpectrum}},
        {{"machine_id", kMachineNormal}, {"time", TimeText(kNow)}},
        {{"analysis_id", kAnalysisSpectrum}, {"time", TimeText(kNow)}},
        One(kMachineNormal, "", kNow),
        {{"machine_id", kMachineNormal}, {"analysis_id", kAnalysisSpectrum}, {"time", "now"}},
        {{"machine_id", kMachineNormal},
         {"analysis_id", kAnalysisSpectrum},
         {"time", "2039-01-01T00:00:00Z"}},
    };
    for (const Pairs& pairs : kBad) {
        strAnswer answer = Get("analysis", pairs);
        ExpectError(answer, kHttpBadRequest, kErrorUseAnalysis);
        EXPECT_EQ(kMessageUseAnalysis, answer.json.value("error", ""));
    }
}

}  // namespace

// The edge plant: its awkward names reach the wire whole, its NaN and
// infinite values are sent as such, and its largest stored spectrum fills an
// analysis reply to the bound, all in the layouts the client reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "CatalogueWalk.h"
#include "SimTestSupport.h"

namespace tesmosim {

namespace {

using namespace edge;

class EdgePlant : public ::testing::Test {
  protected:
    void SetUp() override {
        plant = BuildPlant(eSimPlant::Edge, 1);
        EncodeCatalogue(plant, &catalogue);
        CatalogueWalker walker(Payload(catalogue), catalogue.size() - tesmo::kHeaderSize);
        walkedWhole = walker.Walk(&walked);
    }

    // The value a values reply of the pump sends for a variable number.
    float PumpValue(int number) {
        const strWalkedMachine& pump = walked.machines[0];
        auto found = std::find(pump.numbers.begin(), pump.numbers.end(), number);
        EXPECT_NE(found, pump.numbers.end()) << number;
        if (found == pump.numbers.end()) return 0;
        std::size_t entry = static_cast<std::size_t>(found - pump.numbers.begin());
        Bytes reply;
        EncodeValues(TestContext(), plant, 0, tesmo::Values, &reply);
        std::size_t at = tesmo::kMachineStatusSize + entry * tesmo::kValueEntrySize;
        EXPECT_LE(at + tesmo::kValueEntrySize, AnnouncedLength(reply));
        return tesmo::LoadF32(Payload(reply) + at);
    }

    strSimPlant plant;
    Bytes catalogue;
    strWalkedCatalogue walked;
    bool walkedWhole = false;
};

TEST_F(EdgePlant, CatalogueWalksToTheEndWithEveryNameWhole) {
    ASSERT_TRUE(walkedWhole);
    EXPECT_EQ(AnnouncedLength(catalogue), catalogue.size() - tesmo::kHeaderSize);
    EXPECT_EQ(walked.groups,
              (std::vector<std::string>{kGroupQuoted, kGroupLetters, kGroupAccented}));
    const struct {
        const char* name;
        int group;
    } kMachines[] = {{kMachineQuote, 0}, {kMachineBackslash, 0}, {kMachineTab, 1},
                     {kMachineFull, 1},  {kMachineTwin, 1},      {kMachineAccented, 2},
                     {kMachineTwin, 2}};
    ASSERT_EQ(walked.machines.size(), std::size(kMachines));
    for (std::size_t m = 0; m < std::size(kMachines); ++m) {
        EXPECT_EQ(walked.machines[m].name, kMachines[m].name) << m;
        EXPECT_EQ(walked.machines[m].group, kMachines[m].group) << m;
    }
    for (const strWalkedMachine& machine : walked.machines)
        EXPECT_TRUE(machine.referencesValid) << machine.name;
    // The pump's further point, variables and spectrum follow its own.
    const strWalkedMachine& pump = walked.machines[0];
    EXPECT_EQ(pump.points, demo::kPointCount + 1);
    EXPECT_EQ(pump.analyses, kSpectrumPosition + 1);
    EXPECT_EQ(pump.analysisKinds[kSpectrumPosition], tesmo::kWireSpectrum);
    for (int number : {kVarMeasure, kVarNaN, kVarPlusInf, kVarMinusInf, kVarDropout})
        EXPECT_EQ(1, std::count(pump.numbers.begin(), pump.numbers.end(), number)) << number;
    EXPECT_EQ(plant.machines[0].points.back().name, kPointName);
    EXPECT_EQ(plant.machines[0].points.back().variables[0].name, kMeasureName);
}

// A name is NUL-terminated within its 50-byte field: the longest names of
// the plant take 49 characters, none takes the whole field.
TEST_F(EdgePlant, LongestNamesKeepTheirTerminator) {
    std::vector<std::string> names = plant.groups;
    for (const strSimMachine& machine : plant.machines) {
        names.push_back(machine.name);
        for (const auto* list : {&machine.digital, &machine.analog, &machine.rpm})
            for (const strSimVariable& variable : *list) names.push_back(variable.name);
        for (const strSimPoint& point : machine.points) {
            names.push_back(point.name);
            for (const strSimVariable& variable : point.variables) names.push_back(variable.name);
        }
        for (const strSimSpecial& special : machine.specials)
            names.push_back(special.variable.name);
    }
    std::size_t longest = 0;
    for (const std::string& name : names) {
        EXPECT_LT(name.size(), tesmo::kNameFieldSize) << name;
        longest = std::max(longest, name.size());
    }
    EXPECT_EQ(longest, tesmo::kNameFieldSize - 1);
    // On the wire too: every walked name ends before its field does.
    ASSERT_TRUE(walkedWhole);
    for (const std::string& group : walked.groups) EXPECT_LT(group.size(), tesmo::kNameFieldSize);
    for (const strWalkedMachine& machine : walked.machines)
        EXPECT_LT(machine.name.size(), tesmo::kNameFieldSize) << machine.name;
}

TEST_F(EdgePlant, ValuesReplyCarriesNaNAndInfinities) {
    ASSERT_TRUE(walkedWhole);
    EXPECT_TRUE(std::isnan(PumpValue(kVarNaN)));
    EXPECT_EQ(PumpValue(kVarPlusInf), INFINITY);
    EXPECT_EQ(PumpValue(kVarMinusInf), -INFINITY);
    EXPECT_TRUE(std::isfinite(PumpValue(demo::kVarPressure)));
}

TEST_F(EdgePlant, DropoutTrendMixesNaNWithNumbers) {
    strTrendRequest request;
    request.kind = tesmo::kKindAnalog;
    request.index = static_cast<std::uint16_t>(kVarDropout - demo::kVarPressure);
    request.from = static_cast<std::int32_t>(kTestNow - 86400);
    request.to = static_cast<std::int32_t>(kTestNow);
    std::vector<strSample> scratch;
    Bytes reply;
    EncodeTrend(TestContext(), plant, 0, request, tesmo::TrendUnmapped, false, &scratch, &reply);
    const unsigned char* payload = Payload(reply);
    std::int32_t count = tesmo::LoadI32(payload + tesmo::kTrendCountOffset);
    ASSERT_EQ(AnnouncedLength(reply), tesmo::kTrendSamplesOffset + tesmo::kTrendSampleSize * count);
    int missing = 0, finite = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        float value =
            tesmo::LoadF32(payload + tesmo::kTrendSamplesOffset + i * tesmo::kTrendSampleSize + 4);
        missing += std::isnan(value) ? 1 : 0;
        finite += std::isfinite(value) ? 1 : 0;
    }
    EXPECT_GT(count, 100);
    EXPECT_GT(missing, 0);
    EXPECT_GT(finite, 0);
    EXPECT_EQ(missing + finite, count);
}

TEST_F(EdgePlant, LargestSpectrumFillsAnAnalysisReplyToTheBound) {
    strAnalysisRequest request;
    request.position = kSpectrumPosition;
    request.from = static_cast<std::int32_t>(kTestNow - 86400);
    request.to = static_cast<std::int32_t>(kTestNow);
    std::vector<float> scratch;
    Bytes reply;
    EncodeAnalysis(TestContext(), plant, 0, request, tesmo::Analisis, &scratch, &reply);
    std::uint32_t length = AnnouncedLength(reply);
    EXPECT_EQ(length, reply.size() - tesmo::kHeaderSize);
    ASSERT_LE(length, tesmo::kMaxReplyPayload);
    EXPECT_GT(length + tesmo::kAnalisisValueSize, tesmo::kMaxReplyPayload);
    const unsigned char* payload = Payload(reply);
    EXPECT_EQ(tesmo::LoadI32(payload + tesmo::kAnalisisCountOffset), kLargestSpectrumValues);
    EXPECT_EQ(length, tesmo::kAnalisisValuesOffset +
                          tesmo::kAnalisisValueSize * std::size_t{kLargestSpectrumValues});
    float last = tesmo::LoadF32(payload + length - tesmo::kAnalisisValueSize);
    EXPECT_TRUE(std::isfinite(last));
    EXPECT_GT(last, 0.0f);
}

}  // namespace

}  // namespace tesmosim

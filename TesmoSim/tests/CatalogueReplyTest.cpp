// The catalogue, diagnostic kinds and stamp replies of the three plants
// follow the wire layouts and the reply bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "CatalogueWalk.h"
#include "SimTestSupport.h"

namespace tesmosim {

namespace {

struct strEncoded {
    Bytes catalogue;
    Bytes kinds;
    strWalkedCatalogue walked;
    bool walkedWhole = false;
};

strEncoded Encode(eSimPlant which, std::uint32_t seed = 1) {
    strEncoded encoded;
    strSimPlant plant = BuildPlant(which, seed);
    EncodeCatalogue(plant, &encoded.catalogue);
    EncodeSpecialKinds(plant, &encoded.kinds);
    CatalogueWalker walker(Payload(encoded.catalogue),
                           encoded.catalogue.size() - tesmo::kHeaderSize);
    encoded.walkedWhole = walker.Walk(&encoded.walked);
    return encoded;
}

TEST(CatalogueReply, DemoPlantWalksToTheExactEndWithValidReferences) {
    strEncoded encoded = Encode(eSimPlant::Demo);
    ASSERT_TRUE(encoded.walkedWhole);
    EXPECT_EQ(AnnouncedLength(encoded.catalogue), encoded.catalogue.size() - tesmo::kHeaderSize);
    ASSERT_EQ(encoded.walked.groups.size(), static_cast<std::size_t>(demo::kGroupCount));
    ASSERT_EQ(encoded.walked.machines.size(), static_cast<std::size_t>(demo::kMachineCount));
    EXPECT_EQ(encoded.walked.groups[1], demo::kGroupFans);
    std::set<int> groupsWithMachines;
    int previousGroup = 0;
    for (const strWalkedMachine& machine : encoded.walked.machines) {
        EXPECT_TRUE(machine.referencesValid) << machine.name;
        EXPECT_GE(machine.group, previousGroup) << "machines of a group are listed together";
        previousGroup = machine.group;
        groupsWithMachines.insert(machine.group);
        EXPECT_GT(machine.digital, 0);
        EXPECT_GT(machine.specials, 0);
        EXPECT_GT(machine.analyses, 0);
    }
    EXPECT_EQ(groupsWithMachines.count(2), 0u) << "the group " << demo::kGroupEmpty << " is empty";
    EXPECT_EQ(groupsWithMachines.size(), 3u);
}

TEST(CatalogueReply, DemoPumpLayoutMatchesThePublishedFacts) {
    strEncoded encoded = Encode(eSimPlant::Demo);
    ASSERT_TRUE(encoded.walkedWhole);
    const strWalkedMachine& pump = encoded.walked.machines[0];
    EXPECT_EQ(pump.name, demo::kMachineNormal);
    EXPECT_EQ(pump.points, demo::kPointCount);
    EXPECT_EQ(pump.pointVariables, demo::kPumpPointVariableCount);
    EXPECT_EQ(pump.analyses, demo::kPumpAnalysisCount);
    EXPECT_EQ(pump.digital + pump.analog + pump.rpm + pump.pointVariables + pump.specials,
              demo::kPumpVariableCount);
    // Values order: DIGITAL, ANALOG, RPM, point variables, SPECIALICED.
    std::vector<int> expected = {demo::kVarMotorRunning, demo::kVarPressure, demo::kVarFlow,
                                 demo::kVarCurrent,      demo::kVarSpeed,    demo::kVarVelocity1H};
    EXPECT_EQ(std::vector<int>(pump.numbers.begin(), pump.numbers.begin() + 6), expected);
    EXPECT_EQ(pump.numbers.back(), demo::kVarPhaseIndicator);
    EXPECT_EQ(pump.analysisKinds[0], tesmo::kWireSpectrum);
    EXPECT_EQ(pump.analysisKinds[1], tesmo::kWireWaveform);
    // The second pump's numbers are offset by kNumbersPerMachine.
    EXPECT_EQ(encoded.walked.machines[1].numbers[0], kNumbersPerMachine + demo::kVarMotorRunning);
}

// The longest name a field carries is 49 characters and its terminator; a
// name of 50 bytes without one is beyond what a client may be sent.
TEST(CatalogueReply, LongMachineNameTakes49CharactersAndItsTerminator) {
    strEncoded encoded = Encode(eSimPlant::Demo);
    ASSERT_TRUE(encoded.walkedWhole);
    const std::string full = demo::kMachineLongName;
    EXPECT_EQ(full.size(), tesmo::kNameFieldSize - 1);
    EXPECT_EQ(encoded.walked.machines[3].name, full);
    const Bytes name(full.begin(), full.end());
    auto at =
        std::search(encoded.catalogue.begin(), encoded.catalogue.end(), name.begin(), name.end());
    ASSERT_NE(at, encoded.catalogue.end());
    EXPECT_EQ(at[static_cast<std::ptrdiff_t>(name.size())], 0) << "the terminator";
}

// A text longer than its field is cut so that its terminator still fits.
TEST(CatalogueReply, NamesLongerThanTheirFieldAreCutBeforeTheTerminator) {
    strSimPlant plant = BuildPlant(eSimPlant::Demo, 1);
    plant.groups[0] = std::string(tesmo::kNameFieldSize + 5, 'g');
    plant.machines[0].name = std::string(tesmo::kNameFieldSize, 'm');
    Bytes catalogue;
    EncodeCatalogue(plant, &catalogue);
    strWalkedCatalogue walked;
    ASSERT_TRUE(
        CatalogueWalker(Payload(catalogue), catalogue.size() - tesmo::kHeaderSize).Walk(&walked));
    EXPECT_EQ(walked.groups[0], std::string(tesmo::kNameFieldSize - 1, 'g'));
    EXPECT_EQ(walked.machines[0].name, std::string(tesmo::kNameFieldSize - 1, 'm'));
}

TEST(CatalogueReply, LargePlantLiesJustUnderTheReplyBound) {
    strEncoded large = Encode(eSimPlant::Large);
    ASSERT_TRUE(large.walkedWhole);
    std::size_t payload = large.catalogue.size() - tesmo::kHeaderSize;
    EXPECT_LE(payload, tesmo::kMaxReplyPayload);
    EXPECT_GT(payload, tesmo::kMaxReplyPayload - tesmo::kTrailingRecordSize);
    EXPECT_GT(large.walked.machines.size(), 50u);
    EXPECT_LE(large.kinds.size() - tesmo::kHeaderSize, tesmo::kMaxReplyPayload);
    for (const strWalkedMachine& machine : large.walked.machines)
        EXPECT_TRUE(machine.referencesValid) << machine.name;
}

TEST(CatalogueReply, EmptyPlantHasNoRecordsButAKindsReplyOfOneByte) {
    strEncoded empty = Encode(eSimPlant::Empty);
    ASSERT_TRUE(empty.walkedWhole);
    EXPECT_EQ(AnnouncedLength(empty.catalogue), tesmo::kCatalogueCountsSize);
    EXPECT_TRUE(empty.walked.groups.empty());
    EXPECT_TRUE(empty.walked.machines.empty());
    EXPECT_EQ(AnnouncedLength(empty.kinds), tesmo::kMinSpecialKindsReply);
}

TEST(CatalogueReply, KindsReplyCarriesOneEntryPerSpecialVariable) {
    strEncoded encoded = Encode(eSimPlant::Demo);
    ASSERT_TRUE(encoded.walkedWhole);
    std::size_t expected = 0;
    for (const strWalkedMachine& machine : encoded.walked.machines)
        expected += tesmo::kSpecialKindsCountSize + tesmo::kSpecialKindEntrySize * machine.specials;
    EXPECT_EQ(AnnouncedLength(encoded.kinds), expected);
    // The first pump's indicators: unbalance, misalignment, bearing, phase.
    const unsigned char* first = Payload(encoded.kinds);
    EXPECT_EQ(tesmo::LoadI16(first), 4);
    EXPECT_EQ(first[tesmo::kSpecialKindsCountSize + tesmo::kSpecialKindCodeOffset], 40);
}

TEST(CatalogueStamp, StableForPlantAndSeedAndChangesWithEither) {
    std::int32_t encoded = StampOfCatalogue(Encode(eSimPlant::Demo).catalogue, 1);
    EXPECT_NE(encoded, 0);
    EXPECT_EQ(encoded, StampOfCatalogue(Encode(eSimPlant::Demo).catalogue, 1));
    EXPECT_NE(encoded, StampOfCatalogue(Encode(eSimPlant::Large).catalogue, 1));
    EXPECT_NE(encoded, StampOfCatalogue(Encode(eSimPlant::Demo, 2).catalogue, 2));
    EXPECT_NE(StampOfCatalogue(Encode(eSimPlant::Empty).catalogue, 1), 0);
}

TEST(CatalogueStamp, ChangesWhenAnyRecordChanges) {
    strSimPlant plant = BuildPlant(eSimPlant::Demo, 1);
    Bytes original;
    EncodeCatalogue(plant, &original);
    // A level of the very last record of the catalogue.
    plant.machines.back().specials.back().variable.levels.high += 1;
    Bytes changed;
    EncodeCatalogue(plant, &changed);
    ASSERT_EQ(original.size(), changed.size());
    EXPECT_NE(StampOfCatalogue(original, 1), StampOfCatalogue(changed, 1));
}

}  // namespace

}  // namespace tesmosim

// Current values: exact layout length, statuses that follow the machines'
// conditions at every time and seed, and values inside their bands.
#include <gtest/gtest.h>

#include "CatalogueWalk.h"
#include "SimTestSupport.h"

namespace tesmosim {

namespace {

class ValuesReply : public ::testing::Test {
  protected:
    void SetUp() override {
        plant = BuildPlant(eSimPlant::Demo, 1);
        EncodeCatalogue(plant, &catalogue);
        CatalogueWalker walker(Payload(catalogue), catalogue.size() - tesmo::kHeaderSize);
        ASSERT_TRUE(walker.Walk(&walked));
    }

    std::uint8_t MachineByte(const std::string& name, const strSimContext& context) {
        int position = MachinePosition(plant, name);
        EncodeValues(context, plant, static_cast<std::uint16_t>(position), tesmo::Values, &reply);
        return Payload(reply)[0];
    }

    strSimPlant plant;
    Bytes catalogue;
    strWalkedCatalogue walked;
    Bytes reply;
};

TEST_F(ValuesReply, LengthIsExactlyTheLayoutTheCatalogueAnnounces) {
    for (std::size_t m = 0; m < walked.machines.size(); ++m) {
        const strWalkedMachine& machine = walked.machines[m];
        EncodeValues(TestContext(), plant, static_cast<std::uint16_t>(m), tesmo::Values, &reply);
        std::size_t entries = machine.digital + machine.analog + machine.rpm +
                              machine.pointVariables + machine.specials;
        std::size_t layout = tesmo::kMachineStatusSize + tesmo::kValueEntrySize * entries +
                             tesmo::kAnalisisStatusSize * machine.analyses;
        EXPECT_EQ(AnnouncedLength(reply), layout) << machine.name;
        EXPECT_EQ(reply.size(), tesmo::kHeaderSize + layout) << machine.name;
        EXPECT_EQ(tesmo::LoadU16(reply.data() + tesmo::kHeaderMachineOffset), m);
    }
}

TEST_F(ValuesReply, MachineStatusesHoldAtEveryHourOfTwoDaysAndForOtherSeeds) {
    for (std::uint32_t seed : {1u, 7u, 123456u}) {
        for (int hour = 0; hour < 48; ++hour) {
            strSimContext context = TestContext(seed, kTestNow + hour * 3600 + 17);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " hour " << hour);
            EXPECT_EQ(MachineByte(demo::kMachineNormal, context) & tesmo::kMachineStatusMask, 0);
            EXPECT_EQ(MachineByte(demo::kMachineLongName, context) & tesmo::kMachineStatusMask, 0);
            EXPECT_EQ(MachineByte(demo::kMachineAlarm, context) & tesmo::kMachineStatusMask, 1);
            EXPECT_EQ(MachineByte(demo::kMachineBearingFault, context) & tesmo::kMachineStatusMask,
                      1);
            EXPECT_EQ(MachineByte(demo::kMachineTrip, context) & tesmo::kMachineStatusMask, 2);
            EXPECT_EQ(MachineByte(demo::kMachineStopped, context) & tesmo::kMachineStatusMask,
                      tesmo::kMachineStatusUndefined);
        }
    }
}

TEST_F(ValuesReply, StoppedMachineReportsMotorOffSpeedZeroAndUndefinedStatuses) {
    int position = MachinePosition(plant, demo::kMachineStopped);
    EncodeValues(TestContext(), plant, static_cast<std::uint16_t>(position), tesmo::Values, &reply);
    const unsigned char* at = Payload(reply) + tesmo::kMachineStatusSize;
    EXPECT_EQ(at[0], 0) << "DIGITAL motor running is off";
    const strSimMachine& machine = plant.machines[position];
    std::size_t rpmEntry = machine.digital.size() + machine.analog.size();
    EXPECT_EQ(tesmo::LoadF32(at + rpmEntry * tesmo::kValueEntrySize), 0.0f);
    for (std::size_t e = 0; e < machine.digital.size() + machine.analog.size() + machine.rpm.size();
         ++e)
        EXPECT_EQ(
            at[e * tesmo::kValueEntrySize + tesmo::kValueStatusOffset] & tesmo::kValueCodeMask,
            tesmo::kValueCodeUndefined);
    std::uint8_t byte = Payload(reply)[0];
    EXPECT_EQ((byte >> tesmo::kMachineAuxStateShift) & tesmo::kMachineAuxStateMask,
              tesmo::kAuxStateOff);
}

TEST_F(ValuesReply, RunningMachineEntriesFollowTheVariablesAndTheirLevels) {
    const strSimMachine& pump = plant.machines[0];
    strSimContext context = TestContext();
    EncodeValues(context, plant, 0, tesmo::Values, &reply);
    const unsigned char* at = Payload(reply) + tesmo::kMachineStatusSize;
    EXPECT_EQ(at[0], 1) << "DIGITAL motor running is on";
    at += tesmo::kValueEntrySize * pump.digital.size();
    const strSimVariable& pressure = pump.analog[0];
    float value = tesmo::LoadF32(at);
    EXPECT_FLOAT_EQ(value, static_cast<float>(VariableValue(context, pump, pressure, context.now)));
    EXPECT_GT(value, pressure.levels.low);
    EXPECT_LT(value, pressure.levels.high);
    EXPECT_EQ(at[tesmo::kValueStatusOffset], tesmo::kValueCodeNormal);
    at += tesmo::kValueEntrySize * (pump.analog.size());
    float speed = tesmo::LoadF32(at);
    EXPECT_NEAR(speed, demo::kPumpSpeedRpm, demo::kPumpSpeedRpm * 0.01);
}

TEST_F(ValuesReply, AlarmMachineShowsTheAlarmOnItsFaultyVariablesAndAnalyses) {
    int position = MachinePosition(plant, demo::kMachineAlarm);
    const strSimMachine& pump = plant.machines[position];
    strSimContext context = TestContext();
    EncodeValues(context, plant, static_cast<std::uint16_t>(position), tesmo::Values, &reply);
    const unsigned char* at =
        Payload(reply) + tesmo::kMachineStatusSize +
        tesmo::kValueEntrySize * (pump.digital.size() + pump.analog.size() + pump.rpm.size());
    int alarms = 0;
    for (const strSimPoint& point : pump.points) {
        for (const strSimVariable& variable : point.variables) {
            int code = at[tesmo::kValueStatusOffset];
            EXPECT_EQ(code, variable.faulty ? tesmo::kValueCodeAlarm : tesmo::kValueCodeNormal)
                << variable.number;
            alarms += code == tesmo::kValueCodeAlarm;
            at += tesmo::kValueEntrySize;
        }
    }
    EXPECT_GE(alarms, 2);
    // The analyses of the faulty velocity at 2H (definitions 3 and 4) are in alarm too.
    EXPECT_EQ(at[3], tesmo::kStatusAlarm);
    EXPECT_EQ(at[0], tesmo::kStatusNormal);
}

TEST_F(ValuesReply, UnknownMachinePositionGetsAnUndefinedMachineByteOnly) {
    EncodeValues(TestContext(), plant, static_cast<std::uint16_t>(plant.machines.size()),
                 tesmo::Values, &reply);
    ASSERT_EQ(AnnouncedLength(reply), tesmo::kMachineStatusSize);
    EXPECT_EQ(Payload(reply)[0], tesmo::kMachineStatusUndefined);
}

}  // namespace

}  // namespace tesmosim

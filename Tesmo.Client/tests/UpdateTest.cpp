// Current values: decoding the values reply into one machine's records.
#include <string>

#include "ClientFixture.h"
#include "Values.h"

namespace {

std::string Entry(float value, std::uint8_t status) {
    return Bytes().F32(value).U8(status);
}

// A values reply for the demo pump (version 200): the machine byte, then
// DIGITAL, ANALOG, RPM, 3 point variables, 2 analysis bytes, 2 SPECIALICED.
std::string PumpValues(std::uint8_t machineByte) {
    return Bytes()
        .U8(machineByte)
        .U8(7)
        .U8(0xFF)
        .U8(0xFF)
        .U8(0xFF)
        .U8(0x00)                          // DIGITAL: byte 0 non-zero is on
        .Append(Entry(5.5f, 3))            // ANALOG: code 3 is alarm
        .Append(Entry(1480.0f, 4 | 0x10))  // RPM: code 4 is trip, bit 4
        .Append(Entry(2.25f, 0xE1))        // alarm, bits 5, 6 and 7
        .Append(Entry(61.0f, 9))           // code 9 is undefined
        .Append(Entry(12.0f, 2))
        .U8(2)
        .U8(7)  // analyses: trip, then an unknown code
        .Append(Entry(0.75f, 1))
        .Append(Entry(33.0f, 0));
}

TEST_F(ClientTest, UpdateAppliesEveryEntryInOrder) {
    ScriptLogin(200);
    ScriptLoad();
    // status 2 (trip), auxFlag set, auxState code 2 (gives 0)
    server.Reply(kRequestHeaderSize, Message(PumpValues(0x02 | 0x04 | (2 << 3))));
    StartLoaded();
    strMachine* pump = Pump();
    ASSERT_TRUE(client.Update(pump));
    EXPECT_EQ(pump->status, 2);
    EXPECT_EQ(pump->auxFlag, 1);
    EXPECT_EQ(pump->auxState, 0);
    strVariable* v = pump->variables;
    EXPECT_FLOAT_EQ(v[0].value, 1.0f);
    EXPECT_EQ(v[0].status, 0);
    EXPECT_FLOAT_EQ(v[1].value, 5.5f);
    EXPECT_EQ(v[1].status, 1);
    EXPECT_FLOAT_EQ(v[2].value, 1480.0f);
    EXPECT_EQ(v[2].status, 2);
    EXPECT_EQ(v[2].statusBit4, 1);
    EXPECT_EQ(v[3].status, 1);
    EXPECT_EQ(v[3].statusBit4, 0);
    EXPECT_EQ(v[3].statusBit5 + v[3].statusBit6 + v[3].statusBit7, 3);
    EXPECT_FLOAT_EQ(v[4].value, 61.0f);
    EXPECT_EQ(v[4].status, -1);
    EXPECT_EQ(v[5].status, 2);
    EXPECT_EQ(pump->analisis[0].status, 2);
    EXPECT_EQ(pump->analisis[1].status, -1);
    EXPECT_FLOAT_EQ(v[6].value, 0.75f);
    EXPECT_EQ(v[6].status, 1);
    EXPECT_FLOAT_EQ(v[7].value, 33.0f);
    EXPECT_EQ(v[7].status, 0);
    EXPECT_EQ(server.Requests().at(4), RequestHeader(kWireValues, 0, 0));
}

TEST_F(ClientTest, UpdateSetsTheStatusBitsAfreshEachTime) {
    ScriptLogin(200);
    ScriptLoad();
    server.Reply(kRequestHeaderSize, Message(PumpValues(0x03 | (1 << 3))));
    std::string quiet = PumpValues(0);
    quiet[1 + 5 + 5 + 5 + 4] = 0;  // the first point variable: normal, no bits
    server.Reply(kRequestHeaderSize, Message(quiet));
    StartLoaded();
    strMachine* pump = Pump();
    ASSERT_TRUE(client.Update(pump));
    EXPECT_EQ(pump->status, -1);
    EXPECT_EQ(pump->auxState, 1);
    EXPECT_EQ(pump->variables[3].statusBit7, 1);
    ASSERT_TRUE(client.Update(pump));
    EXPECT_EQ(pump->status, 0);
    EXPECT_EQ(pump->auxState, -1);
    EXPECT_EQ(pump->auxFlag, 0);
    EXPECT_EQ(pump->variables[3].status, 0);
    EXPECT_EQ(pump->variables[3].statusBit5 + pump->variables[3].statusBit6 +
                  pump->variables[3].statusBit7,
              0);
}

TEST_F(ClientTest, UpdateAddressesTheMachineByItsPosition) {
    ScriptLogin(200);
    ScriptLoad();
    server.Reply(kRequestHeaderSize, Message(Bytes().U8(1).Append(Entry(42.0f, 0))));
    StartLoaded();
    ASSERT_TRUE(client.Update(Fan()));
    EXPECT_EQ(server.Requests().at(4), RequestHeader(kWireValues, 1, 0));
    EXPECT_EQ(Fan()->status, 1);
    EXPECT_FLOAT_EQ(Fan()->variables[0].value, 42.0f);
}

TEST_F(ClientTest, OlderServerSkipsTheDigitalEntries) {
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    server.Reply(kRequestHeaderSize, Message(PumpValues(0)));
    StartLoaded();
    strMachine* pump = Pump();
    ASSERT_TRUE(client.Update(pump));
    EXPECT_STREQ(pump->variables[0].type, "ANALOG");
    EXPECT_FLOAT_EQ(pump->variables[0].value, 5.5f);
    EXPECT_FLOAT_EQ(pump->variables[6].value, 33.0f);
}

TEST_F(ClientTest, UpdateOfAMachineOutsideTheCatalogueSendsNothing) {
    ScriptLogin(200);
    ScriptLoad();
    StartLoaded();
    strMachine copy = *Pump();
    EXPECT_FALSE(client.Update(&copy));
    EXPECT_FALSE(client.Update(nullptr));
    client.Disconnect();
    ASSERT_TRUE(server.WaitClientClosed(kCloseWaitMs));
    EXPECT_EQ(server.Extra(), "");
}

TEST_F(ClientTest, ShortValuesReplyChangesNothingAndKeepsTheConnection) {
    ScriptLogin(200);
    ScriptLoad();
    std::string whole = PumpValues(0x01);
    server.Reply(kRequestHeaderSize, Message(whole.substr(0, whole.size() - 1)));
    server.Reply(kRequestHeaderSize, Message(whole));
    StartLoaded();
    strMachine* pump = Pump();
    EXPECT_FALSE(client.Update(pump));
    EXPECT_EQ(pump->status, -1);
    for (int i = 0; i < pump->countOfVariables; ++i) {
        EXPECT_EQ(pump->variables[i].status, -1);
        EXPECT_EQ(pump->variables[i].value, 0.0f);
    }
    EXPECT_EQ(pump->analisis[0].status, -1);
    EXPECT_TRUE(client.Update(pump));
    EXPECT_EQ(pump->status, 1);
}

TEST_F(ClientTest, EmptyValuesReplyCloses) {
    ScriptLogin(200);
    ScriptLoad();
    server.Reply(kRequestHeaderSize, MessageWithLength(0, ""));
    StartLoaded();
    EXPECT_FALSE(client.Update(Pump()));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST(ValuesLayout, CountsEveryEntryOfTheMachine) {
    strPoint points[2] = {};
    points[0].countOfVariables = 3;
    points[1].countOfVariables = 1;
    strMachine machine = {};
    machine.points = points;
    machine.countOfPoints = 2;
    machine.countOfDigital = 1;
    machine.countOfAnalog = 2;
    machine.countOfRpm = 1;
    machine.countOfAnalisis = 3;
    machine.countOfSpecial = 2;
    // 1 + 5 * (1 + 2 + 1 + 4 + 2) + 3
    EXPECT_EQ(tesmo::ValuesLayoutSize(machine), 54u);
}

}  // namespace

// Catalogue load: the stamp, the tree built from the catalogue reply, the
// diagnostic kinds, and the rejection of malformed catalogues.
#include <string>
#include <vector>

#include "Catalogue.h"
#include "ClientFixture.h"

namespace {

TEST_F(ClientTest, LoadBuildsTheWholeTree) {
    ScriptLogin(200);
    ScriptLoad();
    StartLoaded();
    ASSERT_EQ(client.GetCountOfGroups(), 2);
    strGroup* pumps = client.GetGroup(0);
    strGroup* spare = client.GetGroup(1);
    EXPECT_STREQ(pumps->name, "Pumps");
    EXPECT_STREQ(pumps->id, "Pumps");
    EXPECT_EQ(pumps->status, -1);
    EXPECT_EQ(pumps->countOfMachines, 2);
    EXPECT_EQ(spare->countOfMachines, 0);
    EXPECT_EQ(spare->machines, nullptr);

    strMachine* pump = Pump();
    EXPECT_STREQ(pump->id, "P-101");
    EXPECT_EQ(pump->group, pumps);
    EXPECT_EQ(pump->status, -1);
    EXPECT_EQ(pump->auxState, -1);
    EXPECT_EQ(pump->countOfDigital, 1);
    EXPECT_EQ(pump->countOfPoints, 3);
    EXPECT_EQ(pump->countOfAnalisis, 2);
    // 1 DIGITAL + 1 ANALOG + 1 RPM + 3 point variables + 2 SPECIALICED
    ASSERT_EQ(pump->countOfVariables, 8);
    EXPECT_STREQ(Fan()->id, "F-201");
    EXPECT_EQ(Fan()->countOfVariables, 1);
    EXPECT_EQ(Fan()->points, nullptr);
}

TEST_F(ClientTest, LoadFillsEveryKindOfVariable) {
    ScriptLogin(200);
    ScriptLoad();
    StartLoaded();
    strVariable* v = Pump()->variables;
    EXPECT_STREQ(v[0].id, "10");
    EXPECT_STREQ(v[0].type, "DIGITAL");
    EXPECT_STREQ(v[0].units, "---");
    EXPECT_EQ(v[0].kind, 3);
    EXPECT_EQ(v[0].point, nullptr);

    EXPECT_STREQ(v[1].name, "Pressure");
    EXPECT_STREQ(v[1].units, "bar");
    EXPECT_STREQ(v[1].type, "ANALOG");
    EXPECT_EQ(v[1].kind, 2);
    EXPECT_EQ(v[1].index, 0);
    EXPECT_EQ(v[1].status, -1);
    EXPECT_EQ(v[1].highEnable + v[1].highHighEnable + v[1].lowEnable + v[1].lowLowEnable, 4);
    EXPECT_FLOAT_EQ(v[1].highHigh, 9.5f);
    EXPECT_FLOAT_EQ(v[1].high, 8.0f);
    EXPECT_FLOAT_EQ(v[1].low, 2.0f);
    EXPECT_FLOAT_EQ(v[1].lowLow, 1.5f);

    EXPECT_STREQ(v[2].units, "RPM");
    EXPECT_STREQ(v[2].type, "RPM");
    EXPECT_EQ(v[2].kind, 1);
    EXPECT_EQ(v[2].highHighEnable, 1);  // flags bit 1 only
    EXPECT_EQ(v[2].highEnable, 0);
    EXPECT_FLOAT_EQ(v[2].highHigh, 3600.0f);
}

TEST_F(ClientTest, LoadTranslatesPointVariablesAndLinksPoints) {
    ScriptLogin(200);
    ScriptLoad();
    StartLoaded();
    strMachine* pump = Pump();
    strPoint* points = pump->points;
    EXPECT_STREQ(points[0].id, "1H");
    EXPECT_STREQ(points[0].name, "Motor NDE");
    EXPECT_STREQ(points[1].id, "2V");
    EXPECT_EQ(points[0].countOfVariables, 2);
    EXPECT_EQ(points[0].variables, &pump->variables[3]);
    EXPECT_EQ(points[1].variables, &pump->variables[5]);
    EXPECT_EQ(points[2].countOfVariables, 0);
    EXPECT_EQ(points[2].variables, nullptr);

    strVariable* v = pump->variables;
    EXPECT_STREQ(v[3].name, "Velocity");
    EXPECT_STREQ(v[3].type, "VIBRATION");
    EXPECT_EQ(v[3].highEnable, 1);
    EXPECT_FLOAT_EQ(v[3].high, 4.5f);
    EXPECT_STREQ(v[4].name, "Temperature");  // matched whatever the case
    EXPECT_STREQ(v[4].type, "ANALOG");
    EXPECT_STREQ(v[5].name, "Displacement 1X");  // matched whole, not as "Desplazamiento"
    EXPECT_STREQ(v[5].units, "um");
    for (int i = 3; i <= 5; ++i) EXPECT_EQ(v[i].kind, 0);
    EXPECT_EQ(v[4].point, &points[0]);
    EXPECT_EQ(v[4].index, 0);
    EXPECT_EQ(v[4].subIndex, 1);
    EXPECT_EQ(v[5].point, &points[1]);
    EXPECT_EQ(v[5].index, 1);
    EXPECT_EQ(v[5].subIndex, 0);
}

TEST_F(ClientTest, LoadFillsAnalysesAndSpecialVariables) {
    ScriptLogin(200);
    ScriptLoad();
    StartLoaded();
    strMachine* pump = Pump();
    strAnalisis* spectrum = &pump->analisis[0];
    strAnalisis* waveform = &pump->analisis[1];
    EXPECT_STREQ(spectrum->id, "101/S");
    EXPECT_EQ(spectrum->type, 'S');
    EXPECT_EQ(spectrum->point, &pump->points[0]);
    EXPECT_STREQ(spectrum->magnitude, "Velocity");
    EXPECT_STREQ(spectrum->units, "mm/s");
    EXPECT_FLOAT_EQ(spectrum->fmax, 1000.0f);
    EXPECT_EQ(spectrum->lines, 800);
    EXPECT_EQ(spectrum->averages, 4);
    EXPECT_STREQ(waveform->id, "103/W");
    EXPECT_EQ(waveform->samples, 1024);
    EXPECT_FLOAT_EQ(waveform->fs, 2560.0f);
    EXPECT_EQ(waveform->status, -1);

    ASSERT_EQ(pump->firstSpecial, &pump->variables[6]);
    strVariable* bearing = &pump->variables[6];
    strVariable* phase = &pump->variables[7];
    EXPECT_STREQ(bearing->id, "201");
    EXPECT_STREQ(bearing->units, "mm/s");  // the units of analysis 0
    EXPECT_EQ(bearing->point, &pump->points[0]);
    EXPECT_EQ(bearing->kind, 4);
    EXPECT_EQ(phase->index, 1);
    EXPECT_STREQ(phase->units, "degrees");
    // Diagnostic kinds: 45 is BEARING, 5 has no text.
    EXPECT_STREQ(bearing->type, "BEARING");
    EXPECT_STREQ(phase->type, "SPECIALICED");
    EXPECT_EQ(Fan()->firstSpecial, nullptr);
}

TEST_F(ClientTest, UnchangedStampKeepsTheTreeWithoutDownload) {
    ScriptLogin(200);
    ScriptLoad(7);
    server.Reply(kRequestHeaderSize, StampReply(7));
    StartLoaded();
    strGroup* before = client.GetGroup(0);
    strMachine* pump = Pump();
    EXPECT_TRUE(client.Load());
    EXPECT_EQ(client.GetGroup(0), before);
    EXPECT_EQ(Pump(), pump);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClientClosed(kCloseWaitMs));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[1], RequestHeader(kWireStamp, 0, 0));
    EXPECT_EQ(requests[2], RequestHeader(kWireCatalogue, 0, 0));
    EXPECT_EQ(requests[3], RequestHeader(kWireKinds, 0, 0));
    EXPECT_EQ(requests[4], RequestHeader(kWireStamp, 0, 0));
    EXPECT_EQ(server.Extra(), "");
}

TEST_F(ClientTest, ChangedStampDownloadsAgain) {
    ScriptLogin(200);
    ScriptLoad(7);
    ScriptLoad(8);
    StartLoaded();
    EXPECT_TRUE(client.Load());
    EXPECT_EQ(client.GetCountOfGroups(), 2);
    EXPECT_EQ(server.Requests().size(), 7u);
}

TEST_F(ClientTest, FreshClientAndStampZeroMeansNothingToLoad) {
    ScriptLogin(200);
    server.Reply(kRequestHeaderSize, StampReply(0));
    StartLoaded();
    EXPECT_EQ(client.GetCountOfGroups(), 0);
}

TEST_F(ClientTest, StampReplyOfAnotherLengthCloses) {
    ScriptLogin(200);
    server.Reply(kRequestHeaderSize, Message(Bytes().I32(7).U8(0)));
    StartConnected();
    EXPECT_FALSE(client.Load());
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, OlderServerHasNoDigitalVariablesAndAlwaysDownloads) {
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    StartLoaded();
    strMachine* pump = Pump();
    EXPECT_EQ(pump->countOfDigital, 1);
    ASSERT_EQ(pump->countOfVariables, 7);
    EXPECT_STREQ(pump->variables[0].type, "ANALOG");
    // no kinds request: the special variables keep their plain type
    EXPECT_STREQ(pump->firstSpecial->type, "SPECIALICED");
    EXPECT_TRUE(client.Load());
    EXPECT_EQ(server.Requests().at(2), RequestHeader(kWireCatalogue, 0, 0));
}

TEST_F(ClientTest, EmptyKindsReplyFailsAndClosesButKeepsTheCatalogue) {
    ScriptLogin(200);
    server.Reply(kRequestHeaderSize, StampReply(7));
    server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    server.Reply(kRequestHeaderSize, MessageWithLength(0, ""));
    StartConnected();
    EXPECT_FALSE(client.Load());
    EXPECT_EQ(client.GetCountOfGroups(), 2);
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, AfterAFailedDownloadTheSameStampDownloadsAgain) {
    ScriptLogin(200);
    server.Reply(kRequestHeaderSize, StampReply(7));
    server.Reply(kRequestHeaderSize, Message(CatalogueHead(1, 0)));  // group record missing
    ScriptLoad(7);
    StartConnected();
    EXPECT_FALSE(client.Load());
    EXPECT_TRUE(client.Load());
    EXPECT_EQ(client.GetCountOfGroups(), 2);
}

// A malformed catalogue fails the load with no tree left, and the connection
// stays in step: the next exchange still works.
struct strMalformed {
    const char* what;
    std::string catalogue;
};

std::string OneMachine(const strMachineCounts& counts, const std::string& block,
                       std::int16_t group = 0) {
    return CatalogueHead(1, 1) + GroupRecord("G") + MachineRecord("M", group, counts) + block;
}

strMachineCounts Points(std::uint16_t points) {
    strMachineCounts c;
    c.points = points;
    return c;
}

std::vector<strMalformed> MalformedCatalogues() {
    strMachineCounts analysed = Points(1);
    analysed.analisis = 1;
    strMachineCounts special = Points(1);
    special.special = 1;
    std::string point =
        PointHeader(1, 'H', "P", 1, 0) + PointVariableRecord(1, "Velocidad", "mm/s");
    return {
        {"shorter than its counts", CatalogueHead(0, 0).substr(0, 3)},
        {"negative group count", CatalogueHead(-1, 0)},
        {"negative machine count", CatalogueHead(0, -1)},
        {"group record cut", CatalogueHead(1, 0) + GroupRecord("G").substr(0, 53)},
        {"machine record cut", OneMachine(strMachineCounts(), "").substr(0, 4 + 54 + 203)},
        {"group position out of range", OneMachine(strMachineCounts(), "", 1)},
        {"negative group position", OneMachine(strMachineCounts(), "", -1)},
        {"point header cut", OneMachine(Points(1), PointHeader(1, 'H', "P", 0, 0).substr(0, 80))},
        {"negative point variable count", OneMachine(Points(1), PointHeader(1, 'H', "P", -1, 0))},
        {"negative skipped record count", OneMachine(Points(1), PointHeader(1, 'H', "P", 0, -2))},
        {"point variable cut", OneMachine(Points(1), point.substr(0, point.size() - 1))},
        {"analysis kind X", OneMachine(analysed, point + AnalisisRecord('X', 0, 0, 0, 0, 0, 0, 0))},
        {"analysis point out of range",
         OneMachine(analysed, point + AnalisisRecord('E', 1, 0, 0, 0, 0, 0, 0))},
        {"analysis variable out of range",
         OneMachine(analysed, point + AnalisisRecord('E', 0, 1, 0, 0, 0, 0, 0))},
        {"analysis record cut",
         OneMachine(analysed, point + AnalisisRecord('E', 0, 0, 0, 0, 0, 0, 0).substr(0, 20))},
        {"special point out of range",
         OneMachine(special, point + SpecialRecord(9, "S", 1, 0, '1'))},
        {"special record cut",
         OneMachine(special, point + SpecialRecord(9, "S", 0, 0, '1').substr(0, 98))},
    };
}

TEST_F(ClientTest, MalformedCataloguesFailWithNoTreeAndTheConnectionInStep) {
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    auto cases = MalformedCatalogues();
    for (const strMalformed& c : cases) server.Reply(kRequestHeaderSize, Message(c.catalogue));
    server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    StartLoaded();
    for (const strMalformed& c : cases) {
        EXPECT_FALSE(client.Load()) << c.what;
        EXPECT_EQ(client.GetCountOfGroups(), 0) << c.what;
        EXPECT_EQ(client.GetGroup(0), nullptr) << c.what;
    }
    EXPECT_TRUE(client.Load());
    EXPECT_EQ(client.GetCountOfGroups(), 2);
}

TEST(ParseCatalogue, EveryCutOfAValidCatalogueIsRejected) {
    std::string whole = DemoCatalogue();
    const auto* bytes = reinterpret_cast<const unsigned char*>(whole.data());
    tesmo::strCatalogue catalogue;
    ASSERT_TRUE(tesmo::ParseCatalogue(tesmo::ByteView(bytes, whole.size()), true, &catalogue));
    tesmo::ReleaseMachines(catalogue.machines, catalogue.countOfMachines);
    delete[] catalogue.groups;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        EXPECT_FALSE(tesmo::ParseCatalogue(tesmo::ByteView(bytes, size), true, &catalogue))
            << "cut at " << size;
        EXPECT_EQ(catalogue.groups, nullptr);
        EXPECT_EQ(catalogue.machines, nullptr);
    }
}

// Records nothing is read from (trailing records, the 55-byte records of a
// point, the DIGITAL records of an older server) are stepped over: at the end
// of the catalogue they need not have been received. Whatever is read after
// them still must have been.
struct strSteppedOver {
    const char* what;
    bool currentProtocol;
    std::string catalogue;
    bool loads;
};

std::vector<strSteppedOver> SteppedOverCatalogues() {
    strMachineCounts trailing;
    trailing.trailing = 3;
    strMachineCounts digital;
    digital.digital = 2;
    strMachineCounts digitalThenAnalog = digital;
    digitalThenAnalog.analog = 1;
    strMachineCounts everything = Points(1);
    everything.digital = 1;
    everything.trailing = 2;
    std::string analog = AnalogRecord(5, "Flow", "m3/h", 0, 0, 0, 0, 0);
    std::string demoWithTrailing = DemoCatalogue();
    const std::size_t kTrailingCountOffset = 202;
    std::size_t lastMachine = demoWithTrailing.size() - analog.size() - 204;
    demoWithTrailing[lastMachine + kTrailingCountOffset] = 4;
    return {
        {"trailing records", true, OneMachine(trailing, ""), true},
        {"trailing records of the last of two machines", true, demoWithTrailing, true},
        {"trailing record cut", true, OneMachine(trailing, TrailingRecord().substr(0, 13)), true},
        {"DIGITAL records of an older server", false, OneMachine(digital, ""), true},
        {"skipped records of the last point", false,
         OneMachine(Points(1), PointHeader(1, 'H', "P", 0, 3)), true},
        {"one of two skipped records and the trailing records", false,
         OneMachine(everything,
                    DigitalRecord(7, "Running") + PointHeader(1, 'H', "P", 0, 2) + SkippedRecord()),
         true},
        {"DIGITAL records of a current server are read", true, OneMachine(digital, ""), false},
        {"an ANALOG record after missing DIGITAL records", false,
         OneMachine(digitalThenAnalog, analog), false},
        {"a point variable after missing skipped records", false,
         OneMachine(Points(1),
                    PointHeader(1, 'H', "P", 1, 2) + PointVariableRecord(1, "Velocidad", "mm/s")),
         false},
        {"a second machine after missing trailing records", true,
         CatalogueHead(1, 2) + GroupRecord("G") + MachineRecord("M", 0, trailing) +
             MachineRecord("N", 0, strMachineCounts()),
         false},
    };
}

TEST(ParseCatalogue, RecordsOnlySteppedOverMayLieBeyondThePayload) {
    for (const strSteppedOver& c : SteppedOverCatalogues()) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.catalogue.data());
        tesmo::strCatalogue catalogue;
        bool loaded = tesmo::ParseCatalogue(tesmo::ByteView(bytes, c.catalogue.size()),
                                            c.currentProtocol, &catalogue);
        EXPECT_EQ(loaded, c.loads) << c.what;
        if (!loaded) continue;
        EXPECT_EQ(catalogue.machines[catalogue.countOfMachines - 1].group, &catalogue.groups[0])
            << c.what;
        tesmo::ReleaseMachines(catalogue.machines, catalogue.countOfMachines);
        delete[] catalogue.groups;
    }
}

TEST_F(ClientTest, SpecialVariableNamingAMissingAnalysisGetsEmptyUnits) {
    strMachineCounts counts = Points(1);
    counts.special = 2;
    std::string catalogue = OneMachine(counts, PointHeader(1, 'H', "P", 1, 0) +
                                                   PointVariableRecord(1, "Velocidad", "mm/s") +
                                                   SpecialRecord(9, "Beyond", 0, 3, '1') +
                                                   SpecialRecord(10, "Negative", 0, -1, '1'));
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(catalogue));
    StartLoaded();
    strMachine* machine = client.GetGroup(0)->machines;
    EXPECT_STREQ(machine->firstSpecial[0].units, "");
    EXPECT_STREQ(machine->firstSpecial[1].units, "");
    EXPECT_STREQ(machine->firstSpecial[1].name, "Negative");
}

TEST_F(ClientTest, TextsFillingTheirFieldAreCutAndTerminated) {
    std::string longName(60, 'n');
    strMachineCounts counts;
    counts.analog = 1;
    std::string catalogue = CatalogueHead(1, 1) + GroupRecord(longName) +
                            MachineRecord(longName, 0, counts) +
                            AnalogRecord(5, longName, "0123456789", 0, 0, 0, 0, 0);
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(catalogue));
    StartLoaded();
    strMachine* machine = client.GetGroup(0)->machines;
    EXPECT_EQ(std::string(client.GetGroup(0)->name), longName.substr(0, 49));
    EXPECT_EQ(std::string(machine->id), longName.substr(0, 49));
    EXPECT_EQ(std::string(machine->variables[0].name), longName.substr(0, 49));
    EXPECT_STREQ(machine->variables[0].units, "012345678");
}

TEST_F(ClientTest, MachinesOfOneGroupLinkToTheFirstOfThem) {
    std::string catalogue = CatalogueHead(2, 3) + GroupRecord("A") + GroupRecord("B") +
                            MachineRecord("M0", 1, strMachineCounts()) +
                            MachineRecord("M1", 0, strMachineCounts()) +
                            MachineRecord("M2", 1, strMachineCounts());
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(catalogue));
    StartLoaded();
    EXPECT_EQ(client.GetGroup(1)->countOfMachines, 2);
    EXPECT_STREQ(client.GetGroup(1)->machines->id, "M0");
    EXPECT_STREQ(client.GetGroup(0)->machines->id, "M1");
    EXPECT_EQ(client.GetGroup(0)->machines->group, client.GetGroup(0));
}

TEST(SpecialKinds, EntriesBeyondAMachinesVariablesAreSteppedOver) {
    strVariable pumpSpecials[1] = {};
    strVariable fanSpecials[2] = {};
    strMachine machines[2] = {};
    machines[0].countOfSpecial = 1;
    machines[0].firstSpecial = pumpSpecials;
    machines[1].countOfSpecial = 2;
    machines[1].firstSpecial = fanSpecials;
    // The first machine announces two entries for its one variable; the second
    // machine's entries must still be found. The payload ends inside the last entry.
    std::string kinds =
        Bytes().I16(2).U8(40).Zeros(20).U8(41).Zeros(20).I16(2).U8(48).Zeros(20).U8(44).Zeros(19);
    tesmo::ApplySpecialKinds(
        tesmo::ByteView(reinterpret_cast<const unsigned char*>(kinds.data()), kinds.size()),
        machines, 2);
    EXPECT_STREQ(pumpSpecials[0].type, "UNBALANCE");
    EXPECT_STREQ(fanSpecials[0].type, "PHASE");
    EXPECT_STREQ(fanSpecials[1].type, "");
}

TEST(SpecialKinds, KnownAndUnknownCodes) {
    EXPECT_STREQ(tesmo::SpecialKindText(0), "TRUE PEAK");
    EXPECT_STREQ(tesmo::SpecialKindText(8), "SIDEBANDS");
    EXPECT_STREQ(tesmo::SpecialKindText(41), "MISALIGMENT");
    EXPECT_STREQ(tesmo::SpecialKindText(48), "PHASE");
    EXPECT_EQ(tesmo::SpecialKindText(4), nullptr);
    EXPECT_EQ(tesmo::SpecialKindText(39), nullptr);
    EXPECT_EQ(tesmo::SpecialKindText(49), nullptr);
    EXPECT_EQ(tesmo::SpecialKindText(-45), nullptr);
}

}  // namespace

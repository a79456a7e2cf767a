// The catalogue lookups and status refreshes on hand-built catalogues.
#include "api/resources/Catalogue.h"

#include <gtest/gtest.h>

#include <cstring>

#include "FakeCatalogue.h"

namespace {

TEST(StatusTextTest, WordsForTheFourCodesAndNoneOtherwise) {
    EXPECT_STREQ("undefined", StatusText(-1));
    EXPECT_STREQ("normal", StatusText(0));
    EXPECT_STREQ("alarm", StatusText(1));
    EXPECT_STREQ("trip", StatusText(2));
    EXPECT_EQ(nullptr, StatusText(3));
    EXPECT_EQ(nullptr, StatusText(-2));
}

TEST(IdEqualsTest, ExactCaseSensitiveWholeText) {
    EXPECT_TRUE(IdEquals("P101", "P101"));
    EXPECT_FALSE(IdEquals("P101", "p101"));
    EXPECT_FALSE(IdEquals("P101", "P10"));
    EXPECT_FALSE(IdEquals("P10", "P101"));
    EXPECT_FALSE(IdEquals("P101", ""));
}

TEST(IdEqualsTest, Windows1252IdMatchesItsUtf8Reading) {
    // "Bomba Impulsión" as a Windows-1252 server sends it (ó is 0xF3).
    EXPECT_TRUE(IdEquals("Bomba Impulsi\xF3n", "Bomba Impulsi\xC3\xB3n"));
    EXPECT_FALSE(IdEquals("Bomba Impulsi\xF3n", "Bomba Impulsi\xF3n"));
    EXPECT_FALSE(IdEquals("Bomba Impulsi\xF3n", "Bomba Impulsion"));
    // Text that already is UTF-8 is kept as it is.
    EXPECT_TRUE(IdEquals("Bomba Impulsi\xC3\xB3n", "Bomba Impulsi\xC3\xB3n"));
}

// Two groups hold a machine "P1": the first with 2 variables, the second with
// 4; a third group is empty and a fourth holds "P2".
class DuplicateIdsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddGroup("North");
        first = catalogue.AddMachine("P1", 2);
        catalogue.AddMachine("Fan", 1);
        catalogue.AddGroup("South");
        catalogue.AddMachine("Other", 0);
        second = catalogue.AddMachine("P1", 4);
        catalogue.AddGroup("Empty");
        catalogue.AddGroup("West");
        catalogue.AddMachine("P2", 1);
    }
    FakeCatalogue catalogue;
    strMachine* first = nullptr;
    strMachine* second = nullptr;
};

TEST_F(DuplicateIdsTest, MachineLookupsAnswerWithTheLowerGroup) {
    EXPECT_EQ(first, FindMachine(catalogue, "P1"));
    EXPECT_EQ(nullptr, FindMachine(catalogue, "p1"));
    EXPECT_EQ(nullptr, FindMachine(catalogue, ""));
    EXPECT_EQ(0, FindMachineInGroup(catalogue, 0, "P1"));
    EXPECT_EQ(1, FindMachineInGroup(catalogue, 1, "P1"));
    EXPECT_EQ(-1, FindMachineInGroup(catalogue, 2, "P1"));
    EXPECT_EQ(-1, FindMachineInGroup(catalogue, 4, "P1"));
    EXPECT_EQ(-1, FindMachineInGroup(catalogue, -1, "P1"));
    EXPECT_EQ(2, GetMachineVariableCount(catalogue, "P1"));
    EXPECT_EQ(-1, GetMachineVariableCount(catalogue, "P3"));
    EXPECT_STREQ("North", GetMachineGroupId(catalogue, "P1"));
    EXPECT_EQ(nullptr, GetMachineGroupId(catalogue, "P3"));
    first->status = kStatusAlarm;
    second->status = kStatusTrip;
    EXPECT_STREQ("alarm", GetMachineStatusText(catalogue, "P1"));
    EXPECT_EQ(nullptr, GetMachineStatusText(catalogue, "P3"));
}

TEST_F(DuplicateIdsTest, VariableFallsThroughToALaterMachineWithMoreVariables) {
    EXPECT_EQ(&first->variables[0], GetMachineVariable(catalogue, "P1", 0));
    EXPECT_EQ(&first->variables[1], GetMachineVariable(catalogue, "P1", 1));
    EXPECT_EQ(&second->variables[2], GetMachineVariable(catalogue, "P1", 2));
    EXPECT_EQ(&second->variables[3], GetMachineVariable(catalogue, "P1", 3));
    EXPECT_EQ(nullptr, GetMachineVariable(catalogue, "P1", 4));
    EXPECT_EQ(nullptr, GetMachineVariable(catalogue, "P1", -1));
    EXPECT_EQ(nullptr, GetMachineVariable(catalogue, "P2", 1));
}

TEST_F(DuplicateIdsTest, VariableByIdFallsThroughOnlyWhenTheFirstHasNone) {
    // Both machines number their variables from 100.
    EXPECT_EQ(&first->variables[1], FindMachineVariable(catalogue, "P1", "101"));
    EXPECT_EQ(&second->variables[3], FindMachineVariable(catalogue, "P1", "103"));
    EXPECT_EQ(nullptr, FindMachineVariable(catalogue, "P1", "104"));
}

TEST_F(DuplicateIdsTest, AnalysisDefinitionFallsThroughOnlyWhenTheFirstHasNone) {
    strAnalisis firstDefinitions[1] = {};
    std::strcpy(firstDefinitions[0].id, "100/S");
    strAnalisis secondDefinitions[2] = {};
    std::strcpy(secondDefinitions[0].id, "100/S");
    std::strcpy(secondDefinitions[1].id, "100/W");
    first->analisis = firstDefinitions;
    first->countOfAnalisis = 1;
    second->analisis = secondDefinitions;
    second->countOfAnalisis = 2;

    EXPECT_EQ(&firstDefinitions[0], FindAnalysisDefinition(catalogue, "P1", "100/S"));
    EXPECT_EQ(&secondDefinitions[1], FindAnalysisDefinition(catalogue, "P1", "100/W"));
    EXPECT_EQ(nullptr, FindAnalysisDefinition(catalogue, "P1", "100/s"));
    EXPECT_EQ(nullptr, FindAnalysisDefinition(catalogue, "P2", "100/S"));
}

TEST_F(DuplicateIdsTest, UpdateAllMachinesRaisesGroupsAndKeepsAnEmptyGroup) {
    catalogue.nextStatus[first] = kStatusNormal;
    catalogue.nextStatus[second] = kStatusTrip;
    catalogue.nextStatus[FindMachine(catalogue, "Fan")] = kStatusAlarm;
    catalogue.nextStatus[FindMachine(catalogue, "Other")] = kStatusNormal;
    catalogue.GetGroup(2)->status = kStatusNormal;  // as Load left it

    ASSERT_TRUE(UpdateAllMachines(catalogue));
    EXPECT_EQ(5u, catalogue.updated.size());
    EXPECT_EQ(kStatusAlarm, catalogue.GetGroup(0)->status);
    EXPECT_EQ(kStatusTrip, catalogue.GetGroup(1)->status);
    EXPECT_EQ(kStatusNormal, catalogue.GetGroup(2)->status);
    // P2 stays undefined, and so does its group.
    EXPECT_EQ(kStatusUndefined, catalogue.GetGroup(3)->status);
}

TEST_F(DuplicateIdsTest, UpdateAllMachinesNeverLowersAGroup) {
    catalogue.GetGroup(0)->status = kStatusTrip;
    catalogue.nextStatus[first] = kStatusNormal;
    ASSERT_TRUE(UpdateAllMachines(catalogue));
    EXPECT_EQ(kStatusTrip, catalogue.GetGroup(0)->status);
}

TEST_F(DuplicateIdsTest, UpdateAllMachinesStopsAtTheFirstFailure) {
    catalogue.nextStatus[first] = kStatusAlarm;
    catalogue.nextStatus[FindMachine(catalogue, "Other")] = kStatusTrip;
    catalogue.failAtUpdate = 3;  // "Other", the first machine of South

    EXPECT_FALSE(UpdateAllMachines(catalogue));
    EXPECT_EQ(3u, catalogue.updated.size());
    EXPECT_EQ(kStatusAlarm, catalogue.GetGroup(0)->status);
    EXPECT_EQ(kStatusUndefined, catalogue.GetGroup(1)->status);
}

TEST_F(DuplicateIdsTest, UpdateMachineUpdatesTheFirstMachineOnly) {
    EXPECT_TRUE(UpdateMachine(catalogue, "P1"));
    ASSERT_EQ(1u, catalogue.updated.size());
    EXPECT_EQ(first, catalogue.updated[0]);
    EXPECT_FALSE(UpdateMachine(catalogue, "P3"));
    EXPECT_EQ(1u, catalogue.updated.size());
    catalogue.failAtUpdate = 2;
    EXPECT_FALSE(UpdateMachine(catalogue, "P2"));
}

TEST(RaisePointStatusesTest, PointTakesTheWorstOfItsVariablesOnly) {
    strPoint points[3] = {};
    strVariable variables[5] = {};
    strMachine machine = {};
    machine.points = points;
    machine.countOfPoints = 3;
    machine.variables = variables;
    machine.countOfVariables = 5;
    for (strPoint& point : points) point.status = kStatusUndefined;
    // Point 0: alarm and trip. Point 1: normal, plus a machine-level variable
    // in trip that names no point. Point 2: no variable names it.
    variables[0].point = &points[0];
    variables[0].status = kStatusAlarm;
    variables[1].point = &points[0];
    variables[1].status = kStatusTrip;
    variables[2].point = &points[1];
    variables[2].status = kStatusNormal;
    variables[3].point = nullptr;
    variables[3].status = kStatusTrip;
    variables[4].point = &points[1];
    variables[4].status = kStatusUndefined;
    points[2].status = kStatusNormal;

    RaisePointStatuses(&machine);
    EXPECT_EQ(kStatusTrip, points[0].status);
    EXPECT_EQ(kStatusNormal, points[1].status);
    EXPECT_EQ(kStatusNormal, points[2].status);
}

}  // namespace

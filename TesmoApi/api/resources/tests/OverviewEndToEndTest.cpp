// groups and machines over HTTP against the demo plant.
#include <string>
#include <vector>

#include "EndToEnd.h"

namespace {

using namespace tesmosim::demo;
using Ids = std::vector<std::string>;

class OverviewEndToEndTest : public EndToEndTest {
  protected:
    Ids MachineIds(const Pairs& filters) {
        strAnswer answer = Get("machines", filters);
        EXPECT_EQ(kHttpOk, answer.status);
        Ids ids;
        for (const ordered_json& entry : answer.json) ids.push_back(entry.value("id", ""));
        return ids;
    }
};

TEST_F(OverviewEndToEndTest, GroupsCarryTheWorstStatusOfTheirMachines) {
    strAnswer answer = Get("groups");
    ASSERT_EQ(kHttpOk, answer.status);
    auto group = [](const char* name, const char* status) {
        return ordered_json{{"name", Utf8(name)}, {"id", Utf8(name)}, {"status", status}};
    };
    ordered_json expected = {group(kGroupPumps, "alarm"), group(kGroupFans, "alarm"),
                             group(kGroupEmpty, "undefined"), group(kGroupCompressors, "trip")};
    EXPECT_EQ(expected, answer.json);
}

TEST_F(OverviewEndToEndTest, MachinesWithoutFiltersListEveryMachineInCatalogueOrder) {
    strAnswer answer = Get("machines");
    ASSERT_EQ(kHttpOk, answer.status);
    ASSERT_EQ(static_cast<size_t>(kMachineCount), answer.json.size());
    Ids ids;
    for (const ordered_json& entry : answer.json) ids.push_back(entry["id"]);
    EXPECT_EQ((Ids{kMachineNormal, kMachineAlarm, kMachineStopped, Utf8(kMachineLongName),
                   kMachineUnknownKind, kMachineFan, kMachineFanAlarm, kMachineFanLast,
                   kMachineTrip, kMachineCompressor, kMachineCompressorLast, kMachineBearingFault}),
              ids);
    const ordered_json& fan = answer.json[5];
    EXPECT_EQ((Names{"name", "id", "status", "group_id", "group_name"}), Keys(fan));
    EXPECT_EQ("normal", fan["status"]);
    EXPECT_EQ(Utf8(kGroupFans), fan["group_id"]);
    EXPECT_EQ(Utf8(kGroupFans), fan["group_name"]);
    EXPECT_EQ("undefined", answer.json[2]["status"]);
    EXPECT_EQ("trip", answer.json[8]["status"]);
}

TEST_F(OverviewEndToEndTest, MachineFiltersAreExactAndCombine) {
    EXPECT_EQ((Ids{kMachineAlarm, kMachineFanAlarm, kMachineBearingFault}),
              MachineIds({{"status", "alarm"}}));
    EXPECT_EQ((Ids{kMachineStopped}), MachineIds({{"status", "undefined"}}));
    EXPECT_EQ((Ids{}), MachineIds({{"status", "ALARM"}}));
    EXPECT_EQ((Ids{kMachineTrip, kMachineCompressor, kMachineCompressorLast, kMachineBearingFault}),
              MachineIds({{"group_id", Utf8(kGroupCompressors)}}));
    EXPECT_EQ((Ids{kMachineTrip}),
              MachineIds({{"group_id", Utf8(kGroupCompressors)}, {"status", "trip"}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", kGroupPumps}, {"status", "trip"}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", kGroupEmpty}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", "bombeo"}}));
    // Query bytes that are not UTF-8 arrive read as Windows-1252, like the ids.
    EXPECT_EQ((Ids{kMachineFan, kMachineFanAlarm, kMachineFanLast}),
              MachineIds({{"group_id", kGroupFans}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", "A \"quoted\" \\ group"}}));
    // An empty filter is off.
    EXPECT_EQ(static_cast<size_t>(kMachineCount), MachineIds({{"group_id", ""}}).size());
}

}  // namespace

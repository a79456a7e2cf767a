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
    ordered_json expected = ordered_json::parse(
        "[{\"name\":\"Bombeo\",\"id\":\"Bombeo\",\"status\":\"alarm\"},"
        "{\"name\":\"Ventilaci\xC3\xB3n\",\"id\":\"Ventilaci\xC3\xB3n\",\"status\":\"alarm\"},"
        "{\"name\":\"Reserva\",\"id\":\"Reserva\",\"status\":\"undefined\"},"
        "{\"name\":\"Compresi\xC3\xB3n\",\"id\":\"Compresi\xC3\xB3n\",\"status\":\"trip\"}]");
    EXPECT_EQ(expected, answer.json);
}

TEST_F(OverviewEndToEndTest, MachinesWithoutFiltersListEveryMachineInCatalogueOrder) {
    strAnswer answer = Get("machines");
    ASSERT_EQ(kHttpOk, answer.status);
    ASSERT_EQ(static_cast<size_t>(kMachineCount), answer.json.size());
    Ids ids;
    for (const ordered_json& entry : answer.json) ids.push_back(entry["id"]);
    EXPECT_EQ((Ids{"P-101", "P-102", "P-103", Utf8(kMachineLongId), "P-105", "V-201", "V-202",
                   "V-203", "K-301", "K-302", "K-303", "R-304"}),
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
    EXPECT_EQ((Ids{"P-102", "V-202", "R-304"}), MachineIds({{"status", "alarm"}}));
    EXPECT_EQ((Ids{"P-103"}), MachineIds({{"status", "undefined"}}));
    EXPECT_EQ((Ids{}), MachineIds({{"status", "ALARM"}}));
    EXPECT_EQ((Ids{"K-301", "K-302", "K-303", "R-304"}),
              MachineIds({{"group_id", Utf8(kGroupCompressors)}}));
    EXPECT_EQ((Ids{"K-301"}),
              MachineIds({{"group_id", Utf8(kGroupCompressors)}, {"status", "trip"}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", "Bombeo"}, {"status", "trip"}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", kGroupEmpty}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", "bombeo"}}));
    // Query bytes that are not UTF-8 arrive read as Windows-1252, like the ids.
    EXPECT_EQ((Ids{"V-201", "V-202", "V-203"}), MachineIds({{"group_id", kGroupFans}}));
    EXPECT_EQ((Ids{}), MachineIds({{"group_id", "A \"quoted\" \\ group"}}));
    // An empty filter is off.
    EXPECT_EQ(static_cast<size_t>(kMachineCount), MachineIds({{"group_id", ""}}).size());
}

}  // namespace

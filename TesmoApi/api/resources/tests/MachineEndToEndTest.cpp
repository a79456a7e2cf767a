// machine and values over HTTP against the demo plant.
#include <algorithm>
#include <map>
#include <string>

#include "EndToEnd.h"
#include "api/JsonOutput.h"

namespace {

using namespace tesmosim::demo;

class MachineEndToEndTest : public EndToEndTest {};

const ordered_json* FindById(const ordered_json& array, const std::string& id) {
    for (const ordered_json& item : array) {
        if (item.value("id", "") == id) return &item;
    }
    return nullptr;
}

TEST_F(MachineEndToEndTest, MachineDocumentDescribesThePump) {
    strAnswer answer = Get("machine", {{"machine_id", kMachineNormal}});
    ASSERT_EQ(kHttpOk, answer.status);
    const ordered_json& machine = answer.json;
    EXPECT_EQ((Names{"id", "name", "status", "group_id", "group_name", "points", "variables",
                     "analysis"}),
              Keys(machine));
    EXPECT_EQ(kMachineNormal, machine["id"]);
    EXPECT_EQ("normal", machine["status"]);
    EXPECT_EQ(kGroupPumps, machine["group_id"]);

    std::vector<std::string> pointIds;
    for (const ordered_json& point : machine["points"]) pointIds.push_back(point["id"]);
    EXPECT_EQ((std::vector<std::string>{"1H", "1V", "2H", "2A", "3H", "4H"}), pointIds);
    EXPECT_EQ(static_cast<size_t>(kPumpVariableCount), machine["variables"].size());
    EXPECT_EQ(static_cast<size_t>(kPumpAnalysisCount), machine["analysis"].size());

    const ordered_json* motor = FindById(machine["variables"], std::to_string(kVarMotorRunning));
    ASSERT_NE(nullptr, motor);
    EXPECT_EQ((Names{"id", "name", "type", "value"}), Keys(*motor));
    EXPECT_EQ("DIGITAL", (*motor)["type"]);
    EXPECT_EQ(true, (*motor)["value"]);

    const ordered_json* pressure = FindById(machine["variables"], std::to_string(kVarPressure));
    ASSERT_NE(nullptr, pressure);
    EXPECT_EQ(
        (Names{"id", "name", "type", "unit", "status", "low_low_enable", "low_enable",
               "high_enable", "high_high_enable", "low_low", "low", "high", "high_high", "value"}),
        Keys(*pressure));
    EXPECT_EQ(Utf8(kPressureName), (*pressure)["name"]);
    EXPECT_TRUE((*pressure)["value"].is_number());

    const ordered_json* velocity = FindById(machine["variables"], std::to_string(kVarVelocity1H));
    ASSERT_NE(nullptr, velocity);
    EXPECT_EQ("1H", (*velocity)["point_id"]);
    EXPECT_EQ(kPointMotorFreeEnd, (*velocity)["point_name"]);

    const ordered_json* spectrum = FindById(machine["analysis"], kAnalysisSpectrum);
    ASSERT_NE(nullptr, spectrum);
    EXPECT_EQ((Names{"id", "type", "fmax", "lines", "averages", "magnitude", "unit", "status",
                     "point_id", "point_name"}),
              Keys(*spectrum));
    EXPECT_EQ(kSpectrumLines, (*spectrum)["lines"]);
    const ordered_json* waveform = FindById(machine["analysis"], kAnalysisWaveform);
    ASSERT_NE(nullptr, waveform);
    EXPECT_EQ("waveform", (*waveform)["type"]);
    EXPECT_EQ(kWaveformSamples, (*waveform)["samples"]);
}

// Each point carries the worst status of the variables that name it.
TEST_F(MachineEndToEndTest, PointsCarryTheWorstStatusOfTheirVariables) {
    for (const char* id : {kMachineNormal, kMachineAlarm, kMachineTrip, kMachineBearingFault}) {
        SCOPED_TRACE(id);
        strAnswer answer = Get("machine", {{"machine_id", id}});
        ASSERT_EQ(kHttpOk, answer.status);
        std::map<std::string, int> worst;
        for (const ordered_json& variable : answer.json["variables"]) {
            if (!variable.contains("point_id") || !variable.contains("status")) continue;
            int code = StatusCode(variable["status"]);
            auto found = worst.find(variable["point_id"]);
            if (found == worst.end()) {
                worst[variable["point_id"]] = code;
            } else {
                found->second = std::max(found->second, code);
            }
        }
        for (const ordered_json& point : answer.json["points"]) {
            ASSERT_EQ(1u, worst.count(point["id"]));
            EXPECT_EQ(worst[point["id"]], StatusCode(point["status"])) << point["id"];
        }
    }
}

TEST_F(MachineEndToEndTest, MachineFoundByItsIdAsTheApiWritesIt) {
    std::string id = Utf8(kMachineLongName);
    strAnswer answer = Get("machine", {{"machine_id", id}});
    ASSERT_EQ(kHttpOk, answer.status);
    EXPECT_EQ(id, answer.json["id"]);
    EXPECT_EQ(kGroupPumps, answer.json["group_id"]);
    // Asked for in Windows-1252 bytes, it arrives read as such.
    strAnswer windows1252 = Get("machine", {{"machine_id", kMachineLongName}});
    ASSERT_EQ(kHttpOk, windows1252.status);
    EXPECT_EQ(id, windows1252.json["id"]);
    // The same name with a plain o is another machine.
    std::string plain = id;
    plain.replace(plain.find("\xC3\xB3"), 2, "o");
    ExpectError(Get("machine", {{"machine_id", plain}}), kHttpServiceError, kErrorServerNotWorking);
}

TEST_F(MachineEndToEndTest, StoppedMachineIsUndefined) {
    strAnswer answer = Get("machine", {{"machine_id", kMachineStopped}});
    ASSERT_EQ(kHttpOk, answer.status);
    EXPECT_EQ("undefined", answer.json["status"]);
    strAnswer values = Get("values", {{"machine_id", kMachineStopped}});
    ASSERT_EQ(kHttpOk, values.status);
    for (const ordered_json& value : values.json) EXPECT_EQ("undefined", value["status"]);
    const ordered_json* motor = FindById(values.json, std::to_string(200 + kVarMotorRunning));
    ASSERT_NE(nullptr, motor);
    EXPECT_EQ(false, (*motor)["value"]);
}

TEST_F(MachineEndToEndTest, ValuesFollowTheMachinesVariables) {
    strAnswer machine = Get("machine", {{"machine_id", kMachineTrip}});
    strAnswer values = Get("values", {{"machine_id", kMachineTrip}});
    ASSERT_EQ(kHttpOk, values.status);
    ASSERT_EQ(machine.json["variables"].size(), values.json.size());
    for (size_t i = 0; i < values.json.size(); ++i) {
        const ordered_json& value = values.json[i];
        const ordered_json& variable = machine.json["variables"][i];
        EXPECT_EQ((Names{"id", "status", "value"}), Keys(value));
        EXPECT_EQ(variable["id"], value["id"]);
        // DIGITAL variables have a status here; the others match the machine's.
        if (variable["type"] == "DIGITAL") {
            EXPECT_TRUE(value["value"].is_boolean());
            EXPECT_GE(StatusCode(value["status"]), -1);
        } else {
            EXPECT_TRUE(value["value"].is_number());
            EXPECT_EQ(variable["status"], value["status"]);
        }
    }
    EXPECT_EQ("trip", machine.json["status"]);
}

TEST_F(MachineEndToEndTest, UsageErrors) {
    const struct {
        const char* resource;
        unsigned code;
        const char* message;
    } kResources[] = {{"machine", kErrorUseMachine, kMessageUseMachine},
                      {"values", kErrorUseValues, kMessageUseValues}};
    for (const auto& resource : kResources) {
        SCOPED_TRACE(resource.resource);
        strAnswer missing = Get(resource.resource);
        ExpectError(missing, kHttpBadRequest, resource.code);
        EXPECT_EQ(resource.message, missing.json.value("error", ""));
        ExpectError(Get(resource.resource, {{"machine_id", ""}}), kHttpBadRequest, resource.code);
        ExpectError(Get(resource.resource, {{"machine", kMachineNormal}}), kHttpBadRequest,
                    resource.code);
    }
}

TEST_F(MachineEndToEndTest, UnknownMachineIsAServerError) {
    const char* const kIds[] = {"p-101", "P-1011", "A \"quoted\" \\ machine",
                                "P-101 with a name far longer than fifty characters"};
    for (const char* resource : {"machine", "values"}) {
        for (const char* id : kIds) {
            SCOPED_TRACE(std::string(resource) + " " + id);
            strAnswer answer = Get(resource, {{"machine_id", id}});
            ExpectError(answer, kHttpServiceError, kErrorServerNotWorking);
            EXPECT_EQ(kMessageServerNotWorking, answer.json.value("error", ""));
        }
    }
}

}  // namespace

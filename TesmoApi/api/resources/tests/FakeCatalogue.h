// A catalogue source built record by record in a test, with the operations
// the lookups and document builders call on a TesmoClient. Update takes the
// statuses the test scripted; the trend and analysis queries answer from
// scripted samples and stored results, and each can be made to fail. Like
// the client, every query refuses, without an exchange, a machine that is
// not one of the catalogue's own and a variable or definition that is not
// one of that machine's own (such as one of a later machine with the same
// id): it returns false and records nothing.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <map>
#include <vector>

#include "TesmoClient.h"
#include "api/resources/Catalogue.h"

template <size_t N>
void CopyText(char (&field)[N], const char* text) {
    std::snprintf(field, N, "%s", text);
}

class FakeCatalogue {
  public:
    FakeCatalogue() {
        // Reserved once so that records never move and a group's machines
        // stay consecutive, as in the client's machine array.
        groups.reserve(kMaxRecords);
        machineStore.reserve(kMaxRecords);
    }

    strGroup* AddGroup(const char* name) {
        EXPECT_LT(groups.size(), kMaxRecords);
        groups.emplace_back();
        strGroup& group = groups.back();
        CopyText(group.name, name);
        CopyText(group.id, name);
        group.status = kStatusUndefined;
        return &group;
    }

    // Adds a machine to the last group, with variableCount variables
    // numbered from 100.
    strMachine* AddMachine(const char* id, int32_t variableCount = 0) {
        strGroup& group = groups.back();
        EXPECT_LT(machineStore.size(), kMaxRecords);
        machineStore.emplace_back();
        strMachine& machine = machineStore.back();
        CopyText(machine.name, id);
        CopyText(machine.id, id);
        machine.status = kStatusUndefined;
        machine.group = &group;
        variableStore.emplace_back(variableCount);
        std::vector<strVariable>& variables = variableStore.back();
        for (int32_t v = 0; v < variableCount; ++v) {
            std::snprintf(variables[v].id, sizeof variables[v].id, "%d", 100 + v);
            CopyText(variables[v].type, "ANALOG");
            variables[v].status = kStatusUndefined;
        }
        machine.countOfVariables = variableCount;
        machine.variables = variables.empty() ? nullptr : variables.data();
        if (group.countOfMachines == 0) group.machines = &machine;
        ++group.countOfMachines;
        return &machine;
    }

    int GetCountOfGroups() { return static_cast<int>(groups.size()); }
    strGroup* GetGroup(int i) {
        if (i < 0 || i >= GetCountOfGroups()) return nullptr;
        return &groups[i];
    }

    bool Update(strMachine* machine) {
        if (!HoldsMachine(machine)) return false;
        updated.push_back(machine);
        if (static_cast<int>(updated.size()) == failAtUpdate) return false;
        auto scripted = nextStatus.find(machine);
        if (scripted != nextStatus.end()) machine->status = scripted->second;
        return true;
    }

    bool GetTrend(int* count, strMachine* machine, strVariable* variable, long from, long to,
                  int maxItems, bool mapped) {
        if (!HoldsMachine(machine) ||
            !Holds(machine->variables, machine->countOfVariables, variable))
            return false;
        trendQuery = {from, to, maxItems, mapped};
        ++trendQueries;
        if (trendFails) return false;
        *count = static_cast<int>(samples.size());
        return true;
    }
    bool GetTrendData(strTimeValue* out, int i) {
        if (i < 0 || i >= static_cast<int>(samples.size()) || i >= samplesHandedOut) return false;
        *out = samples[i];
        return true;
    }

    // Answers the latest stored result whose time lies in [from, to], as the
    // server does; a header with count 0 when there is none.
    bool GetAnalisis(strAnalisisData* data, strMachine* machine, strAnalisis* definition, long from,
                     long to, bool /*flag*/) {
        if (!HoldsMachine(machine) ||
            !Holds(machine->analisis, machine->countOfAnalisis, definition))
            return false;
        windows.push_back({from, to});
        if (static_cast<int>(windows.size()) == failAtAnalysis) return false;
        *data = strAnalisisData{};
        for (const strAnalisisData& result : stored) {
            if (result.time >= from && result.time <= to &&
                (data->count == 0 || result.time > data->time)) {
                *data = result;
            }
        }
        return true;
    }
    bool GetAnalisisData(float* out, int i) {
        if (i < 0 || i >= static_cast<int>(values.size()) || i >= valuesHandedOut) return false;
        *out = values[i];
        return true;
    }

    struct strTrendQuery {
        long from;
        long to;
        int maxItems;
        bool mapped;
    };
    struct strWindow {
        long from;
        long to;
    };

    // Update
    std::map<const strMachine*, int32_t> nextStatus;
    int failAtUpdate = 0;  // 1-based number of the Update call that fails
    std::vector<strMachine*> updated;
    // GetTrend and GetTrendData
    std::vector<strTimeValue> samples;
    int samplesHandedOut = 1 << 30;
    bool trendFails = false;
    strTrendQuery trendQuery = {};
    int trendQueries = 0;
    // GetAnalisis and GetAnalisisData
    std::vector<strAnalisisData> stored;
    std::vector<float> values;
    int valuesHandedOut = 1 << 30;
    int failAtAnalysis = 0;  // 1-based number of the GetAnalisis call that fails
    std::vector<strWindow> windows;

  private:
    static constexpr size_t kMaxRecords = 16;

    // Whether record is one of the count records at first, found by address
    // as the client finds it.
    template <class T>
    static bool Holds(const T* first, int32_t count, const T* record) {
        for (int32_t i = 0; i < count; ++i) {
            if (first + i == record) return true;
        }
        return false;
    }
    bool HoldsMachine(const strMachine* machine) const {
        return Holds(machineStore.data(), static_cast<int32_t>(machineStore.size()), machine);
    }

    std::vector<strGroup> groups;
    std::vector<strMachine> machineStore;
    std::deque<std::vector<strVariable>> variableStore;
};

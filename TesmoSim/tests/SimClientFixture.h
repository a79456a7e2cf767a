// A Tesmo client facing the in-process simulator, for round-trip tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "SimTestSupport.h"
#include "TesmoClient.h"
#include "TesmoSim.h"

namespace tesmosim {

class SimClientTest : public ::testing::Test {
  protected:
    // Starts the simulator at the fixed test time and points the client at it.
    void StartSim(int version = 200, eSimPlant plant = eSimPlant::Demo) {
        options.version = version;
        options.plant = plant;
        options.now = static_cast<std::int32_t>(kTestNow);
        ASSERT_TRUE(sim.Start(options));
        ASSERT_NE(sim.GetPort(), 0);
        client.Init("demo", "demo", "127.0.0.1", static_cast<unsigned short>(sim.GetPort()));
    }

    void StartLoaded(int version = 200, eSimPlant plant = eSimPlant::Demo) {
        StartSim(version, plant);
        ASSERT_TRUE(client.Connect());
        ASSERT_TRUE(client.Load());
    }

    // The loaded machine with that id, or null.
    strMachine* Machine(const std::string& id) {
        for (int g = 0; g < client.GetCountOfGroups(); ++g) {
            strGroup* group = client.GetGroup(g);
            for (int m = 0; m < group->countOfMachines; ++m)
                if (id == group->machines[m].id) return &group->machines[m];
        }
        return nullptr;
    }

    static strVariable* Variable(strMachine* machine, int number) {
        std::string id = std::to_string(number);
        for (int v = 0; v < machine->countOfVariables; ++v)
            if (id == machine->variables[v].id) return &machine->variables[v];
        return nullptr;
    }

    static strAnalisis* Analysis(strMachine* machine, const std::string& id) {
        for (int a = 0; a < machine->countOfAnalisis; ++a)
            if (id == machine->analisis[a].id) return &machine->analisis[a];
        return nullptr;
    }

    strTesmoSimOptions options;
    TesmoSim sim;  // declared first: the client disconnects before the server stops
    TesmoClient client;
};

}  // namespace tesmosim

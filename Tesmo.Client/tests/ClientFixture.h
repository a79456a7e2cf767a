// A client facing a scripted fake server, with the usual script pieces.
#pragma once

#include <gtest/gtest.h>

#include "CatalogueBytes.h"
#include "FakeServer.h"
#include "TesmoClient.h"
#include "WireBytes.h"

class ClientTest : public ::testing::Test {
  protected:
    // "demo"/"demo": 6 + 4 + 4 bytes of login message.
    static constexpr std::size_t kLoginSize = 14;
    // Time the fake server is given to see the client's close.
    static constexpr int kCloseWaitMs = 5000;

    void SetUp() override { client.Init("demo", "demo", "127.0.0.1", server.Port()); }

    void ScriptLogin(std::uint16_t version) { server.Reply(kLoginSize, LoginReply(version)); }

    // Stamp, catalogue and kinds of the demo plant for a server of version 200.
    void ScriptLoad(std::int32_t stamp = 7) {
        server.Reply(kRequestHeaderSize, StampReply(stamp));
        server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
        server.Reply(kRequestHeaderSize, Message(DemoKinds()));
    }

    void StartConnected() {
        server.Start();
        ASSERT_TRUE(client.Connect());
    }

    void StartLoaded() {
        StartConnected();
        ASSERT_TRUE(client.Load());
    }

    strMachine* Pump() { return &client.GetGroup(0)->machines[0]; }
    strMachine* Fan() { return &client.GetGroup(0)->machines[1]; }

    FakeServer server;
    TesmoClient client;
};

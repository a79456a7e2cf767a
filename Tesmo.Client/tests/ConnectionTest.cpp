// Login, message framing, time-outs and the client's lifecycle.
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "ClientFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST_F(ClientTest, LoginSendsCredentialsAndKeepsTheServerVersion) {
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, Message(Bytes().I16(0).I16(0)));
    StartConnected();
    EXPECT_FALSE(client.Connect());  // already connected: the login stays intact
    // A server below 200 gets no stamp request: the catalogue is asked first.
    EXPECT_TRUE(client.Load());
    EXPECT_EQ(client.GetCountOfGroups(), 0);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClientClosed(kCloseWaitMs));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Bytes().U32(kWireLogin).U8(4).U8(4).Str() + "demodemo");
    EXPECT_EQ(requests[1], RequestHeader(kWireCatalogue, 0, 0));
    EXPECT_EQ(server.Extra(), "");
}

TEST_F(ClientTest, EmptyCredentialsAreSentAsEmptyFields) {
    client.Init("", nullptr, "127.0.0.1", server.Port());
    server.Reply(6, LoginReply(200));
    StartConnected();
    EXPECT_EQ(server.Requests().at(0), Bytes().U32(kWireLogin).U8(0).U8(0).Str());
}

TEST_F(ClientTest, InitAgainReplacesTheCredentials) {
    client.Init("operator", "x", "127.0.0.1", server.Port());
    server.Reply(15, LoginReply(200));
    StartConnected();
    EXPECT_EQ(server.Requests().at(0), Bytes().U32(kWireLogin).U8(8).U8(1).Str() + "operatorx");
}

TEST_F(ClientTest, CredentialsOfNinetyNineBytesFit) {
    std::string user(60, 'u');
    std::string password(39, 'p');
    client.Init(user.c_str(), password.c_str(), "127.0.0.1", server.Port());
    server.Reply(6 + 99, LoginReply(200));
    StartConnected();
    EXPECT_EQ(server.Requests().at(0).substr(6), user + password);
}

TEST_F(ClientTest, LongerCredentialsAreRefusedWithoutSendingAnything) {
    std::string user(60, 'u');
    std::string password(40, 'p');
    client.Init(user.c_str(), password.c_str(), "127.0.0.1", server.Port());
    server.Start();
    EXPECT_FALSE(client.Connect());
    EXPECT_FALSE(server.WaitAccepted(300));
}

TEST_F(ClientTest, LoginRefusedByTheServerClosesTheConnection) {
    server.Reply(kLoginSize, LoginReply(200, kWireLogin));
    server.Start();
    EXPECT_FALSE(client.Connect());
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, ShortLoginReplyFails) {
    server.Reply(kLoginSize, LoginReply(200).substr(0, 7));
    server.Close(0);
    server.Start();
    EXPECT_FALSE(client.Connect());
}

TEST_F(ClientTest, ConnectWithoutInitOrToAClosedPortFails) {
    TesmoClient fresh;
    EXPECT_FALSE(fresh.Connect());
    std::uint16_t closedPort;
    {
        FakeServer gone;
        closedPort = gone.Port();
    }
    fresh.Init("demo", "demo", "127.0.0.1", closedPort);
    EXPECT_FALSE(fresh.Connect());
    fresh.Disconnect();  // harmless when not connected
}

TEST_F(ClientTest, SilentServerAtLoginTimesOut) {
    client.SetTimeout(1);
    server.Stall(kLoginSize);
    server.Start();
    auto started = Clock::now();
    EXPECT_FALSE(client.Connect());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, SilentServerInAnExchangeTimesOutAndCloses) {
    client.SetTimeout(1);
    ScriptLogin(200);
    server.Stall(kRequestHeaderSize);
    StartConnected();
    auto started = Clock::now();
    EXPECT_FALSE(client.Load());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
    // Closed means closed: a further exchange fails at once without sending.
    EXPECT_FALSE(client.Load());
}

TEST_F(ClientTest, ReplyCutShortInsideThePayloadClosesTheConnection) {
    client.SetTimeout(1);
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, MessageWithLength(100, Bytes().I16(0).I16(0)));
    StartConnected();
    EXPECT_FALSE(client.Load());
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, ReplyLengthsOutsideTheBoundsCloseTheConnection) {
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, MessageWithLength(0, ""));
    StartConnected();
    EXPECT_FALSE(client.Load());
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, ReplyLongerThanTheBufferClosesTheConnection) {
    ScriptLogin(150);
    server.Reply(kRequestHeaderSize, MessageWithLength(kBufferLimit + 1, ""));
    StartConnected();
    EXPECT_FALSE(client.Load());
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(ClientTest, DestructorClosesAnOpenConnection) {
    ScriptLogin(200);
    server.Start();
    {
        auto temporary = std::make_unique<TesmoClient>();
        temporary->Init("demo", "demo", "127.0.0.1", server.Port());
        ASSERT_TRUE(temporary->Connect());
        EXPECT_FALSE(server.WaitClientClosed(100));
    }
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST(TesmoClientAccessors, GetGroupOutsideTheGroupsIsNull) {
    TesmoClient client;
    EXPECT_EQ(client.GetCountOfGroups(), 0);
    EXPECT_EQ(client.GetGroup(0), nullptr);
    EXPECT_EQ(client.GetGroup(-1), nullptr);
}

TEST(TesmoClientAccessors, VersionIsOneDotTwoWhenItFits) {
    char text[8];
    EXPECT_EQ(TesmoClient::GetVersion(text, 4), 3);
    EXPECT_STREQ(text, "1.2");
    EXPECT_EQ(TesmoClient::GetVersion(text, 3), -1);
    EXPECT_EQ(TesmoClient::GetVersion(text, 0), -1);
}

}  // namespace

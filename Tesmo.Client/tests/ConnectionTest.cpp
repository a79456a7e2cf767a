// Login, message framing, time-outs and the client's lifecycle.
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "ClientFixture.h"
#include "Socket.h"

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

// A server that trickles its reply, one byte at a time, gets the time-out for
// the whole exchange (login, or request with header and payload), however
// little each single byte waits.
struct strTrickle {
    const char* what;
    int gapMs;
};

class TrickleTest : public ClientTest, public ::testing::WithParamInterface<strTrickle> {
  protected:
    static constexpr int kTimeoutSeconds = 2;
};

TEST_P(TrickleTest, ExchangeEndsWithinTheTimeOut) {
    const std::string what = GetParam().what;
    const int gapMs = GetParam().gapMs;
    client.SetTimeout(kTimeoutSeconds);
    if (what == "login") {
        server.Trickle(kLoginSize, LoginReply(200), gapMs);
        server.Start();
    } else {
        ScriptLogin(what == "stamp" ? 200 : 150);
        server.Trickle(kRequestHeaderSize,
                       what == "stamp" ? StampReply(7) : Message(DemoCatalogue()), gapMs);
        StartConnected();
    }
    auto started = Clock::now();
    EXPECT_FALSE(what == "login" ? client.Connect() : client.Load());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(kTimeoutSeconds + 1));
    EXPECT_FALSE(client.Load()) << "the connection was closed";
}

// Login: 8 bytes over 2.4 s. Stamp: the header in 1.75 s and the payload in
// 0.5 s, each alone within the time-out. Catalogue: the header in 1.75 s,
// then a payload that would take minutes.
const strTrickle kTrickles[] = {{"login", 300}, {"stamp", 125}, {"catalogue", 125}};

INSTANTIATE_TEST_SUITE_P(OneBytePerGap, TrickleTest, ::testing::ValuesIn(kTrickles),
                         [](const ::testing::TestParamInfo<strTrickle>& trickle) {
                             return std::string(trickle.param.what);
                         });

TEST(ResolveHost, DottedAddressesNeedNoResolverAndNamesWaitNoLongerThanTheDeadline) {
    static std::atomic<int> lookups{0};
    static std::atomic<bool> hangingDone{false};
    struct Lookups {
        static bool Hanging(const char*, std::uint32_t*) {
            ++lookups;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            hangingDone = true;
            return true;
        }
        static bool Found(const char*, std::uint32_t* address) {
            ++lookups;
            *address = 0x0100007F;
            return true;
        }
        static bool Unknown(const char*, std::uint32_t*) {
            ++lookups;
            return false;
        }
    };
    std::uint32_t address = 0;
    ASSERT_TRUE(
        tesmo::ResolveHost("10.1.2.3", tesmo::DeadlineAfter(0), &address, Lookups::Hanging));
    EXPECT_EQ(address, 0x0302010Au);
    EXPECT_EQ(lookups.load(), 0);

    ASSERT_TRUE(
        tesmo::ResolveHost("tesmo.plant", tesmo::DeadlineAfter(1000), &address, Lookups::Found));
    EXPECT_EQ(address, 0x0100007Fu);
    EXPECT_FALSE(
        tesmo::ResolveHost("nowhere", tesmo::DeadlineAfter(1000), &address, Lookups::Unknown));

    auto started = Clock::now();
    EXPECT_FALSE(
        tesmo::ResolveHost("slow.plant", tesmo::DeadlineAfter(200), &address, Lookups::Hanging));
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_EQ(lookups.load(), 3);
    // The abandoned look-up ends on its own.
    while (!hangingDone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

// A stopping process abandons its exchanges: one waiting on a silent server
// ends soon after the moment, however long its time-out, and none starts
// once the moment has passed, even with a server that would answer.
class AbandonTest : public ClientTest {
  protected:
    void TearDown() override { tesmo::AbandonWaitsAt(tesmo::Deadline::max()); }
};

TEST_F(AbandonTest, WaitingExchangeEndsSoonAfterTheMoment) {
    client.SetTimeout(30);
    ScriptLogin(200);
    server.Stall(kRequestHeaderSize);
    StartConnected();
    TesmoClient::AbandonExchangesAfter(200);
    auto started = Clock::now();
    EXPECT_FALSE(client.Load());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(AbandonTest, NoLoginOnceTheMomentHasPassed) {
    ScriptLogin(200);
    server.Start();
    TesmoClient::AbandonExchangesAfter(0);
    EXPECT_FALSE(client.Connect());
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

// The simulator answers only requests that are exactly what a client sends:
// one damaged field of a good request ends the connection unanswered, and
// the verbose log says why.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "SimSocketNative.h"
#include "SimTestSupport.h"
#include "TesmoSim.h"

namespace tesmosim {

namespace {

using namespace tesmo;

// A request as a client sends it: header and payload.
Bytes Request(std::uint32_t command, std::uint16_t machine, const Bytes& payload = Bytes()) {
    Bytes message(kHeaderSize + payload.size());
    StoreHeader(message.data(), command, machine, static_cast<std::uint32_t>(payload.size()));
    for (std::size_t i = 0; i < payload.size(); ++i) message[kHeaderSize + i] = payload[i];
    return message;
}

Bytes TrendRequest(std::uint32_t command, std::uint8_t kind, std::uint16_t subIndex) {
    Bytes payload(kTrendRequestSize);
    payload[kTrendKindOffset] = kind;
    StoreU16(payload.data() + kTrendSubIndexOffset, subIndex);
    StoreI32(payload.data() + kTrendFromOffset, static_cast<std::int32_t>(kTestNow - 3600));
    StoreI32(payload.data() + kTrendToOffset, static_cast<std::int32_t>(kTestNow));
    StoreI32(payload.data() + kTrendMaxItemsOffset, 10);
    return Request(command, 0, payload);
}

Bytes AnalysisRequest(std::int32_t flag) {
    Bytes payload(kAnalisisRequestSize);
    StoreI32(payload.data() + kAnalisisFromOffset, static_cast<std::int32_t>(kTestNow - 86400));
    StoreI32(payload.data() + kAnalisisToOffset, static_cast<std::int32_t>(kTestNow));
    StoreI32(payload.data() + kAnalisisFlagOffset, flag);
    return Request(Analisis, 0, payload);
}

Bytes WithU32(Bytes message, std::size_t offset, std::uint32_t value) {
    StoreU32(message.data() + offset, value);
    return message;
}

Bytes WithU16(Bytes message, std::size_t offset, std::uint16_t value) {
    StoreU16(message.data() + offset, value);
    return message;
}

// A good request, the same request with one field damaged, and the reason
// the log must give.
struct strDamaged {
    const char* what;
    Bytes good;
    Bytes damaged;
    const char* reason;
};

std::vector<strDamaged> DamagedRequests() {
    const Bytes stamp = Request(CatalogueStamp, 0);
    const Bytes catalogue = Request(Catalogue, 0);
    const Bytes kinds = Request(SpecialKinds, 0);
    const Bytes values = Request(Values, 1);
    const Bytes rpmTrend = TrendRequest(TrendMapped, kKindRpm, 0);
    const Bytes pointTrend = TrendRequest(TrendUnmapped, kKindPoint, 2);
    const Bytes analysis = AnalysisRequest(0);
    Bytes longValues = WithU32(values, kHeaderLengthOffset, 4);
    longValues.resize(kHeaderSize + 4);
    Bytes shortTrend = WithU32(rpmTrend, kHeaderLengthOffset, kAnalisisRequestSize);
    shortTrend.resize(kHeaderSize + kAnalisisRequestSize);
    return {
        {"reserved field", stamp, WithU32(stamp, kHeaderReservedOffset, 1),
         "reserved field 1, not 0"},
        {"reserved field of a trend", rpmTrend, WithU32(rpmTrend, kHeaderReservedOffset, 1u << 31),
         "reserved field 2147483648, not 0"},
        {"machine on the catalogue", catalogue, WithU16(catalogue, kHeaderMachineOffset, 3),
         "machine field 3 on a request that names none"},
        {"machine on the kinds", kinds, WithU16(kinds, kHeaderMachineOffset, 1),
         "machine field 1 on a request that names none"},
        {"payload on the values", values, longValues, "payload of 4 bytes, not 0"},
        {"short trend payload", rpmTrend, shortTrend, "payload of 14 bytes, not 17"},
        {"sub-index of an RPM variable", rpmTrend,
         WithU16(rpmTrend, kHeaderSize + kTrendSubIndexOffset, 1),
         "variable kind 1 with sub-index 1, not 0"},
        {"unknown variable kind", pointTrend, TrendRequest(TrendUnmapped, 5, 0),
         "variable kind 5, which no variable has"},
        {"analysis flag", analysis, AnalysisRequest(1), "flag 1, neither 0 nor -1"},
        {"analysis flag true", AnalysisRequest(-1), AnalysisRequest(2), "flag 2, neither 0 nor -1"},
    };
}

// A connection to the simulator on this machine; kNoSocket when it fails.
SimSocket ConnectTo(int port) {
    sockaddr_in remote;
    if (!SimSocketAddress("127.0.0.1", port, &remote)) return kNoSocket;
    SimNativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kSimNativeNone) return kNoSocket;
    if (connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        SimClose(static_cast<SimSocket>(s));
        return kNoSocket;
    }
    SimSwitchOn(s, IPPROTO_TCP, TCP_NODELAY);
    return static_cast<SimSocket>(s);
}

// A logged-in connection to the simulator, spoken to byte by byte.
class StrictRequest : public ::testing::Test {
  protected:
    static constexpr int kWaitMs = 5000;

    void SetUp() override {
        strTesmoSimOptions options;
        options.now = static_cast<std::int32_t>(kTestNow);
        options.verbose = true;
        ASSERT_TRUE(sim.Start(options));
    }

    SimSocket LoggedIn() {
        SimSocket s = ConnectTo(sim.GetPort());
        if (s == kNoSocket) return s;
        Bytes login = {0, 0, 0, 0, 4, 4, 'd', 'e', 'm', 'o', 'd', 'e', 'm', 'o'};
        StoreU32(login.data(), Login);
        unsigned char reply[kLoginReplySize];
        if (!SimSendAll(s, login.data(), login.size()) || !Receive(s, reply, sizeof reply) ||
            LoadU32(reply) != LoginAccepted) {
            SimClose(s);
            return kNoSocket;
        }
        return s;
    }

    bool Receive(SimSocket s, void* data, std::size_t size) {
        return SimWaitReadable(s, kWaitMs) > 0 && SimReceiveAll(s, data, size, never);
    }

    // Sends a request and reads its whole reply; false when none comes.
    bool Answered(SimSocket s, const Bytes& request) {
        unsigned char header[kHeaderSize];
        if (!SimSendAll(s, request.data(), request.size()) || !Receive(s, header, sizeof header))
            return false;
        Bytes payload(LoadU32(header + kHeaderLengthOffset));
        return Receive(s, payload.data(), payload.size());
    }

    // True when the server has closed the connection without a byte more.
    bool Closed(SimSocket s) {
        unsigned char byte;
        return SimWaitReadable(s, kWaitMs) > 0 && SimReceiveSome(s, &byte, 1) <= 0;
    }

    TesmoSim sim;
    std::atomic<bool> never{false};
};

TEST_F(StrictRequest, OneDamagedFieldEndsTheConnectionAndTheLogSaysWhy) {
    const std::vector<strDamaged> cases = DamagedRequests();
    ::testing::internal::CaptureStdout();
    for (const strDamaged& c : cases) {
        SimSocket s = LoggedIn();
        ASSERT_NE(s, kNoSocket) << c.what;
        EXPECT_TRUE(Answered(s, c.good)) << c.what;
        ASSERT_TRUE(SimSendAll(s, c.damaged.data(), c.damaged.size())) << c.what;
        EXPECT_TRUE(Closed(s)) << c.what;
        SimClose(s);
    }
    sim.Stop();
    std::string log = ::testing::internal::GetCapturedStdout();
    for (const strDamaged& c : cases)
        EXPECT_NE(log.find(std::string("refused: ") + c.reason), std::string::npos)
            << c.what << "\n"
            << log;
}

TEST_F(StrictRequest, CommandsOfTheCurrentProtocolEndTheConnectionOfAnOlderServer) {
    sim.Stop();
    strTesmoSimOptions options;
    options.version = 150;
    ASSERT_TRUE(sim.Start(options));
    for (const Bytes& request : {Request(CatalogueStamp, 0), Request(SpecialKinds, 0),
                                 TrendRequest(TrendUnmapped, kKindPoint, 0)}) {
        SimSocket s = LoggedIn();
        ASSERT_NE(s, kNoSocket);
        EXPECT_TRUE(Answered(s, Request(Catalogue, 0)));
        ASSERT_TRUE(SimSendAll(s, request.data(), request.size()));
        EXPECT_TRUE(Closed(s)) << LoadU32(request.data());
        SimClose(s);
    }
}

}  // namespace

}  // namespace tesmosim

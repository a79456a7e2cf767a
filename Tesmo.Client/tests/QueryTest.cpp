// Trend and stored analysis queries.
#include <string>

#include "ClientFixture.h"

namespace {

// A trend reply: 13 unread bytes, the count, then the samples.
std::string TrendReply(std::int32_t count, const std::string& samples) {
    return Message(Bytes().Zeros(13).I32(count).Append(samples));
}

std::string Sample(std::int32_t time, float value) {
    return Bytes().I32(time).F32(value);
}

// An analysis reply with a result: 14 unread bytes, the header, the values.
std::string AnalisisReply(char type, std::int32_t count, const std::string& values) {
    return Message(Bytes()
                       .Zeros(14)
                       .U8(static_cast<std::uint8_t>(type))
                       .I32(1700000000)
                       .I32(count)
                       .F32(1485.0f)
                       .F32(2560.0f)
                       .F32(2.0f)
                       .F32(1000.0f)
                       .F32(75.0f)
                       .Append(values));
}

class QueryTest : public ClientTest {
  protected:
    // Login and load of the demo plant; the test's own steps follow.
    void ScriptLoadedAt(std::uint16_t version) {
        ScriptLogin(version);
        if (version >= 200)
            ScriptLoad();
        else
            server.Reply(kRequestHeaderSize, Message(DemoCatalogue()));
    }
    // Index of the first request after login and load.
    std::size_t FirstQuery(std::uint16_t version) const { return version >= 200 ? 4 : 2; }
};

TEST_F(QueryTest, TrendSendsTheVariablesAddressAndKeepsTheSamples) {
    ScriptLoadedAt(200);
    server.Reply(kTrendRequestTotal, TrendReply(2, Sample(1000, 1.5f) + Sample(1600, -2.0f)));
    StartLoaded();
    strVariable* displacement = &Pump()->variables[5];  // point 2V, first variable
    int count = -1;
    ASSERT_TRUE(client.GetTrend(&count, Pump(), displacement, 1000, 2000, 50, true));
    EXPECT_EQ(count, 2);
    std::string request = server.Requests().at(FirstQuery(200));
    EXPECT_EQ(request, RequestHeader(kWireTrendMapped, 0, 17) +
                           Bytes().U8(0).U16(1).U16(0).I32(1000).I32(2000).I32(50).Str());
    strTimeValue sample;
    ASSERT_TRUE(client.GetTrendData(&sample, 1));
    EXPECT_EQ(sample.time, 1600);
    EXPECT_FLOAT_EQ(sample.value, -2.0f);
    sample.time = 77;
    EXPECT_FALSE(client.GetTrendData(&sample, 2));
    EXPECT_FALSE(client.GetTrendData(&sample, -1));
    EXPECT_EQ(sample.time, 77);
}

TEST_F(QueryTest, UnmappedTrendNeedsAServerOfVersion200) {
    ScriptLoadedAt(200);
    server.Reply(kTrendRequestTotal, TrendReply(0, ""));
    StartLoaded();
    int count;
    ASSERT_TRUE(client.GetTrend(&count, Fan(), Fan()->variables, 0, 1, 10, false));
    EXPECT_EQ(server.Requests().at(FirstQuery(200)).substr(0, 10),
              RequestHeader(kWireTrendUnmapped, 1, 17).substr(0, 10));
    EXPECT_EQ(server.Requests().at(FirstQuery(200)).substr(14, 5),
              Bytes().U8(2).U16(0).U16(0).Str());
}

TEST_F(QueryTest, OlderServerAlwaysGetsTheMappedTrend) {
    ScriptLoadedAt(150);
    server.Reply(kTrendRequestTotal, TrendReply(0, ""));
    StartLoaded();
    int count = -1;
    ASSERT_TRUE(client.GetTrend(&count, Pump(), Pump()->variables, 0, 1, 10, false));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FieldU32(server.Requests().at(FirstQuery(150)), 0), kWireTrendMapped);
    strTimeValue sample;
    EXPECT_FALSE(client.GetTrendData(&sample, 0));
}

TEST_F(QueryTest, TrendOfAVariableOfAnotherMachineSendsNothing) {
    ScriptLoadedAt(200);
    StartLoaded();
    int count = 5;
    EXPECT_FALSE(client.GetTrend(&count, Fan(), Pump()->variables, 0, 1, 10, true));
    EXPECT_EQ(count, 5);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClientClosed(kCloseWaitMs));
    EXPECT_EQ(server.Extra(), "");
}

TEST_F(QueryTest, TrendLengthNotMatchingItsCountClosesAndDropsTheSamples) {
    ScriptLoadedAt(200);
    server.Reply(kTrendRequestTotal, TrendReply(1, Sample(1, 1.0f)));
    server.Reply(kTrendRequestTotal, TrendReply(3, Sample(1, 1.0f) + Sample(2, 2.0f)));
    StartLoaded();
    int count = 0;
    ASSERT_TRUE(client.GetTrend(&count, Pump(), Pump()->variables, 0, 1, 10, true));
    count = -7;
    EXPECT_FALSE(client.GetTrend(&count, Pump(), Pump()->variables, 0, 1, 10, true));
    EXPECT_EQ(count, -7);
    strTimeValue sample;
    EXPECT_FALSE(client.GetTrendData(&sample, 0));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(QueryTest, TrendWithANegativeCountCloses) {
    ScriptLoadedAt(200);
    server.Reply(kTrendRequestTotal, TrendReply(-1, ""));
    StartLoaded();
    int count;
    EXPECT_FALSE(client.GetTrend(&count, Pump(), Pump()->variables, 0, 1, 10, true));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(QueryTest, TrendReplyBelowSeventeenBytesCloses) {
    ScriptLoadedAt(200);
    server.Reply(kTrendRequestTotal, Message(Bytes().Zeros(16)));
    StartLoaded();
    int count;
    EXPECT_FALSE(client.GetTrend(&count, Pump(), Pump()->variables, 0, 1, 10, true));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(QueryTest, AnalysisResultFillsTheHeaderAndKeepsTheValues) {
    ScriptLoadedAt(200);
    server.Reply(kAnalisisRequestTotal,
                 AnalisisReply('E', 3, Bytes().F32(0.5f).F32(1.5f).F32(-3.0f)));
    StartLoaded();
    strAnalisisData data = {};
    strAnalisis* waveform = &Pump()->analisis[1];
    ASSERT_TRUE(client.GetAnalisis(&data, Pump(), waveform, 100, 200, true));
    EXPECT_EQ(server.Requests().at(FirstQuery(200)),
              RequestHeader(kWireAnalisis, 0, 14) + Bytes().U16(1).I32(100).I32(200).I32(-1).Str());
    EXPECT_EQ(data.type, 'E');  // the server's letter, not the definition's 'W'
    EXPECT_EQ(data.time, 1700000000);
    EXPECT_EQ(data.count, 3);
    EXPECT_FLOAT_EQ(data.rpm, 1485.0f);
    EXPECT_FLOAT_EQ(data.fs, 2560.0f);
    EXPECT_FLOAT_EQ(data.fmin, 2.0f);
    EXPECT_FLOAT_EQ(data.fmax, 1000.0f);
    EXPECT_FLOAT_EQ(data.kw, 75.0f);
    float value = 0;
    ASSERT_TRUE(client.GetAnalisisData(&value, 2));
    EXPECT_FLOAT_EQ(value, -3.0f);
    EXPECT_FALSE(client.GetAnalisisData(&value, 3));
}

TEST_F(QueryTest, EmptyAnalysisReplyClearsTheHeader) {
    ScriptLoadedAt(200);
    server.Reply(kAnalisisRequestTotal, Message(Bytes().Zeros(14)));
    StartLoaded();
    strAnalisisData data;
    data.type = 'X';
    data.count = 9;
    data.rpm = 3.0f;
    ASSERT_TRUE(client.GetAnalisis(&data, Pump(), Pump()->analisis, 0, 1, false));
    EXPECT_EQ(data.type, 0);
    EXPECT_EQ(data.count, 0);
    EXPECT_EQ(data.rpm, 0.0f);
    EXPECT_EQ(FieldU32(server.Requests().at(FirstQuery(200)), 24), 0u);
    float value;
    EXPECT_FALSE(client.GetAnalisisData(&value, 0));
}

TEST_F(QueryTest, AnalysisWithoutValuesKeepsItsHeader) {
    ScriptLoadedAt(150);
    server.Reply(kAnalisisRequestTotal, AnalisisReply('F', 0, ""));
    StartLoaded();
    strAnalisisData data = {};
    ASSERT_TRUE(client.GetAnalisis(&data, Pump(), Pump()->analisis, 0, 1, false));
    EXPECT_EQ(data.type, 'F');
    EXPECT_EQ(data.count, 0);
    EXPECT_FLOAT_EQ(data.kw, 75.0f);
}

TEST_F(QueryTest, AnalysisWithANegativeCountIsATransportFailure) {
    ScriptLoadedAt(200);
    server.Reply(kAnalisisRequestTotal, AnalisisReply('E', -1, ""));
    StartLoaded();
    strAnalisisData data = {};
    data.count = 42;
    EXPECT_FALSE(client.GetAnalisis(&data, Pump(), Pump()->analisis, 0, 1, false));
    EXPECT_EQ(data.count, 42);
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(QueryTest, AnalysisLengthNotMatchingItsCountClosesAndDropsTheValues) {
    ScriptLoadedAt(200);
    server.Reply(kAnalisisRequestTotal, AnalisisReply('E', 1, Bytes().F32(1.0f)));
    server.Reply(kAnalisisRequestTotal, AnalisisReply('E', 2, Bytes().F32(1.0f)));
    StartLoaded();
    strAnalisisData data = {};
    ASSERT_TRUE(client.GetAnalisis(&data, Pump(), Pump()->analisis, 0, 1, false));
    data.count = 42;
    EXPECT_FALSE(client.GetAnalisis(&data, Pump(), Pump()->analisis, 0, 1, false));
    EXPECT_EQ(data.count, 42);
    float value;
    EXPECT_FALSE(client.GetAnalisisData(&value, 0));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(QueryTest, AnalysisReplyBelowFourteenBytesCloses) {
    ScriptLoadedAt(200);
    server.Reply(kAnalisisRequestTotal, Message(Bytes().Zeros(13)));
    StartLoaded();
    strAnalisisData data = {};
    EXPECT_FALSE(client.GetAnalisis(&data, Pump(), Pump()->analisis, 0, 1, false));
    EXPECT_TRUE(server.WaitClientClosed(kCloseWaitMs));
}

TEST_F(QueryTest, AnalysisOfAnotherMachinesDefinitionSendsNothing) {
    ScriptLoadedAt(200);
    StartLoaded();
    strAnalisisData data = {};
    data.count = 42;
    strAnalisis copy = Pump()->analisis[0];
    EXPECT_FALSE(client.GetAnalisis(&data, Fan(), Pump()->analisis, 0, 1, false));
    EXPECT_FALSE(client.GetAnalisis(&data, Pump(), &copy, 0, 1, false));
    EXPECT_EQ(data.count, 42);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClientClosed(kCloseWaitMs));
    EXPECT_EQ(server.Extra(), "");
}

}  // namespace

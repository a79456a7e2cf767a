#include "EndToEnd.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "HttpClient.h"
#include "api/Dispatcher.h"
#include "api/JsonOutput.h"
#include "api/Times.h"
#include "api/resources/Catalogue.h"
#include "api/resources/SessionPool.h"
#include "service/Configuration.h"

namespace {

std::unique_ptr<tesmosim::TesmoSim> demoSim;
std::unique_ptr<Portavex> http;

// Starts the shared servers before the first test and stops them after the last.
class DemoEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        demoSim.reset(new tesmosim::TesmoSim);
        tesmosim::strTesmoSimOptions options;
        options.now = kNow;
        ASSERT_TRUE(demoSim->Start(options));
        http.reset(StartHttp(kServiceResultsSize));
        ASSERT_NE(nullptr, http);
    }
    void TearDown() override {
        http.reset();
        demoSim.reset();
    }
};

::testing::Environment* const demoEnvironment =
    ::testing::AddGlobalTestEnvironment(new DemoEnvironment);

}  // namespace

std::string TimeText(int32_t time) {
    char text[kTimeTextSize];
    FormatTime(time, text);
    return text;
}

int32_t TimeOf(const ordered_json& item) {
    int32_t time = 0;
    if (item.is_object() && item.contains("time") && item["time"].is_string()) {
        ParseTime(item["time"].get<std::string>().c_str(), &time);
    }
    return time;
}

std::string Utf8(const char* windows1252) {
    char text[JsonUtf8Size(kJsonStringCut)];
    JsonReadText(windows1252, kJsonStringCut, text, sizeof text);
    return text;
}

Names Keys(const ordered_json& object) {
    Names keys;
    if (!object.is_object()) return keys;
    for (auto item = object.begin(); item != object.end(); ++item) keys.push_back(item.key());
    return keys;
}

int StatusCode(const std::string& word) {
    for (int32_t code = kStatusUndefined; code <= kStatusTrip; ++code) {
        if (word == StatusText(code)) return code;
    }
    return -2;
}

Portavex* StartHttp(unsigned long resultsSize) {
    static char root[] = ".";
    static char defaultDocument[] = "api.html";
    std::unique_ptr<Portavex> server(new Portavex);
    if (!server->Start(0, OnGetApi, resultsSize, root, defaultDocument)) return nullptr;
    return server.release();
}

strAnswer GetFrom(unsigned short port, const std::string& resource, const Pairs& pairs) {
    strAnswer answer;
    std::string target = "/api/" + resource + Query(pairs);
    const strHttpAnswer raw = HttpGet(port, target);
    if (raw.status == 0) {
        ADD_FAILURE() << "no answer to " << target;
        return answer;
    }
    answer.status = raw.status;
    answer.body = raw.body;
    try {
        answer.json = ordered_json::parse(raw.body);
    } catch (const std::exception& error) {
        ADD_FAILURE() << target << " answered text that is not JSON (" << error.what()
                      << "): " << raw.body.substr(0, 300);
    }
    return answer;
}

int SuiteSessions() {
    const char* text = std::getenv(kSessionsVariable);
    return text == nullptr ? 0 : std::atoi(text);
}

void RestartSessions(int sessions, int idleSeconds) {
    sessionPool.Stop();
    serverSessions = sessions;
    serverSessionIdle = idleSeconds;
    sessionPool.Start(sessions, idleSeconds);
}

void EndToEndTest::SetUp() {
    ASSERT_NE(nullptr, demoSim);
    demoSim->ClearFaults();
    ConfigureServer(demoSim->GetPort());
    // Every test begins without a session, each made for the server it names.
    RestartSessions(SuiteSessions(), kDefaultSessionIdle);
}

strAnswer EndToEndTest::Get(const std::string& resource, const Pairs& pairs) {
    return GetFrom(HttpPort(), resource, pairs);
}

void EndToEndTest::ExpectError(const strAnswer& answer, int httpStatus, unsigned code) {
    EXPECT_EQ(httpStatus, answer.status) << answer.body.substr(0, 300);
    EXPECT_EQ((Names{"error", "code"}), Keys(answer.json)) << answer.body.substr(0, 300);
    if (answer.json.is_object()) {
        EXPECT_EQ(code, answer.json.value("code", 0u));
    }
}

tesmosim::TesmoSim& EndToEndTest::DemoSim() {
    return *demoSim;
}

unsigned short EndToEndTest::HttpPort() {
    return http->GetPort();
}

void EndToEndTest::ConfigureServer(int port) {
    std::snprintf(serverHost, sizeof serverHost, "127.0.0.1");
    std::snprintf(serverUser, sizeof serverUser, "demo");
    std::snprintf(serverPassword, sizeof serverPassword, "demo");
    serverPort = port;
    serverTimeout = kDefaultServerTimeout;
}

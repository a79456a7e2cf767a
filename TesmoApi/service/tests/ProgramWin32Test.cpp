// Runs the real program as a Windows service: a copy of it and its libraries
// in a temporary folder with a configuration file, installed, started,
// queried, stopped and deleted with sc, and asked over HTTP. This process
// stays alive meanwhile, which also keeps Wine's service manager running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ServiceTestSupport_win32.h"

namespace {

constexpr unsigned kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR

// What became of a download.
enum class eDownload { Whole, ClosedBeforeAnswer, CutShort };

// One GET of target on client, read to the end of its Content-Length.
eDownload Download(TestClient& client, const std::string& target) {
    if (!client.Send(GetRequest(target))) return eDownload::ClosedBeforeAnswer;
    const std::string header = client.ReadHeader(kHttpTimeoutMs);
    if (header.empty()) return eDownload::ClosedBeforeAnswer;
    const long long length = ContentLength(header);
    std::string body;
    if (length <= 0 || !client.ReadBody(static_cast<size_t>(length), &body, kHttpTimeoutMs)) {
        return eDownload::CutShort;
    }
    return eDownload::Whole;
}

TEST_F(ServiceTest, RunsUnderTheServiceManagerUntilStopped) {
    const unsigned short port = FreePort();
    WriteConfig(Config(port));
    ASSERT_TRUE(InstallService());
    ASSERT_EQ(0u, RunCommand("sc.exe start TesmoApi").exitCode);
    ASSERT_EQ(SERVICE_RUNNING, WaitForState(SERVICE_RUNNING).state);

    const strHttpAnswer ident = HttpGet(port, "/api/ident");
    EXPECT_EQ(200, ident.status) << ident.body;
    EXPECT_NE(std::string::npos, ident.body.find("\"api\"")) << ident.body;
    const strHttpAnswer config = HttpGet(port, "/TesmoApi.json");
    EXPECT_EQ(404, config.status) << "the configuration holds the server's password";
    EXPECT_EQ(std::string::npos, (config.header + config.body).find("secret-password"));

    EXPECT_EQ(0u, RunCommand("sc.exe stop TesmoApi").exitCode);
    const strServiceStatus stopped = WaitForState(SERVICE_STOPPED);
    EXPECT_EQ(SERVICE_STOPPED, stopped.state);
    EXPECT_EQ(0, stopped.win32ExitCode);
    EXPECT_EQ(0, stopped.serviceExitCode);
    EXPECT_EQ(0, HttpGet(port, "/api/ident").status) << "no longer listening";
}

// sc stop while 100 keep-alive connections download a file larger than the
// loopback buffers: the service stops within a few seconds, and each download
// in flight ends whole or on a connection closed before its answer began,
// never cut short under its Content-Length.
TEST_F(ServiceTest, StopWithDownloadsInFlightCutsNoneShort) {
    constexpr int kInFlight = 100;
    // Larger than what the loopback buffers hold, so that a close cuts it.
    constexpr size_t kFileBytes = 512 * 1024;
    constexpr auto kStopWithin = std::chrono::seconds(8);
    const unsigned short port = FreePort();
    WriteConfig(Config(port));
    WriteFile("big.bin", std::string(kFileBytes, 'z'));
    ASSERT_TRUE(InstallService());
    ASSERT_EQ(0u, RunCommand("sc.exe start TesmoApi").exitCode);
    ASSERT_EQ(SERVICE_RUNNING, WaitForState(SERVICE_RUNNING).state);

    std::atomic<bool> stopping{false};
    std::atomic<int> whole{0}, closed{0}, cut{0}, all{0};  // all: every whole one
    std::vector<std::thread> clients;
    for (int i = 0; i < kInFlight; ++i) {
        clients.emplace_back([&] {
            TestClient client(port);
            for (;;) {
                const bool before = !stopping;
                const eDownload got = Download(client, "/big.bin");
                if (got == eDownload::Whole) all++;
                const bool ended = stopping || got != eDownload::Whole;
                if (before && ended) {
                    if (got == eDownload::Whole) whole++;
                    if (got == eDownload::ClosedBeforeAnswer) closed++;
                    if (got == eDownload::CutShort) cut++;
                }
                if (ended) return;
            }
        });
    }
    Sleep(1000);
    stopping = true;
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, RunCommand("sc.exe stop TesmoApi").exitCode);
    const strServiceStatus stopped = WaitForState(SERVICE_STOPPED);
    const auto took = std::chrono::steady_clock::now() - asked;
    for (std::thread& client : clients) client.join();

    EXPECT_EQ(SERVICE_STOPPED, stopped.state);
    EXPECT_EQ(0, stopped.serviceExitCode);
    EXPECT_LE(took, kStopWithin);
    EXPECT_EQ(0, cut.load()) << whole << " whole, " << closed << " closed before the answer; "
                             << all << " whole downloads in all";
    // A download that began just as the stop was asked may go uncounted.
    EXPECT_GE(whole + closed + cut, kInFlight * 9 / 10);
}

TEST_F(ServiceTest, FailedStartStopsWithTheServiceSpecificCode) {
    struct strCase {
        const char* what;
        std::string config;
        long code;
    };
    const TcpListener holder;
    ASSERT_TRUE(holder.Bound());
    const unsigned short port = holder.Port();
    std::string tooLong = Config(FreePort());
    tooLong.append(1000 - tooLong.size(), ' ');
    const strCase cases[] = {
        {"no password", Config(FreePort(), false), 1002},
        {"1,000 bytes", tooLong, 1002},
        {"port in use", Config(port), 1003},
    };
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        WriteConfig(c.config);
        ASSERT_TRUE(InstallService());
        RunCommand("sc.exe start TesmoApi");
        const strServiceStatus stopped = WaitForState(SERVICE_STOPPED);
        EXPECT_EQ(SERVICE_STOPPED, stopped.state);
        EXPECT_EQ(kServiceSpecificError, static_cast<unsigned>(stopped.win32ExitCode));
        EXPECT_EQ(c.code, stopped.serviceExitCode);
        RemoveService();
    }
}

TEST(ProgramCommandLine, AnythingButASwitchOrNothingExitsMinusOne) {
    for (const char* arguments : {" /unknown", " /Install x", " \"\""}) {
        EXPECT_EQ(kExitInvalidArgument, RunProgram(OwnFolder() + "TesmoApi.exe", arguments))
            << arguments;
    }
    EXPECT_EQ(0u, RunProgram(OwnFolder() + "TesmoApi.exe", ""))
        << "without arguments, outside the service manager, it ends at once";
}

}  // namespace

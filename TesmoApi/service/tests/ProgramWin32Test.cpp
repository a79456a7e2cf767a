// Runs the real program as a Windows service: a copy of it and its libraries
// in a temporary folder with a configuration file, installed, started,
// queried, stopped and deleted with sc, and asked over HTTP. This process
// stays alive meanwhile, which also keeps Wine's service manager running.
#include <gtest/gtest.h>

#include <string>

#include "ServiceTestSupport_win32.h"

namespace {

constexpr unsigned kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR

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

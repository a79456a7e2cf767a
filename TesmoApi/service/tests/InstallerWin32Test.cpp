// Runs the program's installer and uninstaller, in the program's test build,
// under the Service Control Manager: with Wine's own sc for the whole job end
// to end, and with stand-ins for SC and netsh beside the program (found there
// before the system's), which record their command lines byte for byte and
// answer as each case says. What the program tells the person is read from
// the message log that TESMOAPI_TEST_MESSAGE_LOG names.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ServiceTestSupport_win32.h"

namespace {

constexpr DWORD kFailed = 0xFFFFFFFF;  // exit code -1
constexpr unsigned kErrorFlags = 0x10010;
constexpr unsigned kWarningFlags = 0x10030;
constexpr unsigned kInformationFlags = 0x10040;
constexpr unsigned kServiceExists = 1073;  // ERROR_SERVICE_EXISTS
constexpr unsigned kNoSuchService = 1060;  // ERROR_SERVICE_DOES_NOT_EXIST
constexpr unsigned kBrokenPipe = 109;      // ERROR_BROKEN_PIPE
constexpr unsigned kAccessDenied = 5;      // ERROR_ACCESS_DENIED
constexpr unsigned kPipeBusy = 231;        // ERROR_PIPE_BUSY
constexpr unsigned kWineToolFailure = 1;   // Wine's sc ends every failure with 1

// The description as SC receives it, in Windows-1252.
const char kDescription[] =
    "Servidor de Interfaz de Programaci\xF3n de Aplicaciones del sistema de Monitoreo Continuo de "
    "M\xE1quinas (Versi\xF3n 1.0)";

bool UnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// The exit code of a failing sc: the system's error code on Windows.
unsigned ScFailure(unsigned windowsCode) {
    return UnderWine() ? kWineToolFailure : windowsCode;
}

// One message as the log holds it: its flags, a blank, its Windows-1252 text.
std::string Logged(unsigned flags, const std::string& text) {
    char hex[16];
    snprintf(hex, sizeof hex, "%#x", flags);
    return std::string(hex) + " " + text + "\n";
}

std::string LoggedFailure(unsigned flags, const std::string& message, const std::string& function,
                          unsigned code) {
    return Logged(flags, message + "\n\n    Funci\xF3n: " + function +
                             "\n    C\xF3"
                             "digo: " +
                             std::to_string(code));
}

// Wine cannot change a start type with sc config: the installation warns.
std::string StartTypeWarning() {
    if (!UnderWine()) return "";
    return LoggedFailure(kWarningFlags, "Error al configurar el tipo de inicio del servicio", "SC",
                         kWineToolFailure);
}

std::string RegistryText(const char* value) {
    char text[1024];
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\TesmoApi", value,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text,
                     &size) != ERROR_SUCCESS) {
        return "(none)";
    }
    return text;
}

class InstallerTest : public ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (IsSkipped()) return;
        port = FreePort();
        WriteConfig(Config(port));
        program = folder + "TesmoApi.exe";
        // The program's test build, whose administrator test and messages
        // the runs steer and read.
        ASSERT_TRUE(
            CopyFileA((OwnFolder() + "TesmoApiTestBuild.exe").c_str(), program.c_str(), FALSE));
    }

    // Runs the program's copy from its folder with the switch; administrator:
    // the answer its administrator test gives (nullptr: yes).
    DWORD Run(const std::string& switchText, const char* administrator = nullptr) const {
        DeleteFileA((folder + "messages").c_str());
        DeleteFileA((folder + "calls").c_str());
        SetEnvironmentVariableA("TESMOAPI_TEST_MESSAGE_LOG", (folder + "messages").c_str());
        SetEnvironmentVariableA("TESMO_DOUBLE_FOLDER", folder.c_str());
        SetEnvironmentVariableA("TESMOAPI_TEST_ADMINISTRATOR", administrator);
        const DWORD exitCode = RunProgram(program, " " + switchText, folder);
        for (const char* name :
             {"TESMOAPI_TEST_MESSAGE_LOG", "TESMO_DOUBLE_FOLDER", "TESMOAPI_TEST_ADMINISTRATOR"}) {
            SetEnvironmentVariableA(name, nullptr);
        }
        return exitCode;
    }

    std::string Messages() const { return ReadFile("messages"); }

    // The stand-ins' command lines, each without the blanks at its end (the
    // command interpreter hands on the one before the redirection).
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        const std::string text = ReadFile("calls");
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find('\n', at);
            std::string line = text.substr(at, end - at);
            line.erase(line.find_last_not_of(" \r") + 1);
            calls.push_back(line);
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return calls;
    }

    void UseStandIns() const {
        for (const char* tool : {"SC.exe", "netsh.exe"}) {
            ASSERT_TRUE(CopyFileA((OwnFolder() + "InstallerToolDouble.exe").c_str(),
                                  (folder + tool).c_str(), FALSE));
        }
    }

    // Lines of "<first parameter or *> <exit code> [output]" for the tool.
    void Answer(const std::string& tool, const std::string& lines) const {
        WriteFile(tool + ".answers", lines);
    }

    std::vector<std::string> InstallCalls() const {
        return {
            "SC CREATE \"TesmoApi\" binpath= \"" + program + "\"",
            std::string("SC DESCRIPTION \"TesmoApi\" \"") + kDescription + "\"",
            "SC START \"TesmoApi\"",
            "SC CONFIG \"TesmoApi\" start= auto",
            "netsh advfirewall firewall add rule name = \"TesmoApi\" dir = in action = allow "
            "program = \" " +
                program + " \" enable = yes",
        };
    }

    // The removal's command lines with that many status queries.
    static std::vector<std::string> RemovalCalls(int queries) {
        std::vector<std::string> calls = {"SC STOP \"TesmoApi\""};
        calls.insert(calls.end(), queries, "SC QUERY \"TesmoApi\"");
        calls.push_back("SC DELETE \"TesmoApi\"");
        calls.push_back("netsh advfirewall firewall delete rule name = \"TesmoApi\"");
        return calls;
    }

    unsigned short port = 0;
    std::string program;
};

// With Wine's sc. "/Install" from an administrator takes the same path as
// "/AdmInstall"; told it is none, it runs "/AdmInstall" elevated, which
// (told nothing) finds that it is one.
TEST_F(InstallerTest, InstallCreatesDescribesAndStartsAServiceThatAnswers) {
    struct strCase {
        const char* switchText;
        const char* administrator;
    };
    const strCase cases[] = {{"/AdmInstall", nullptr}, {"/Install", nullptr}, {"/iNsTaLl", "no"}};
    for (const strCase& c : cases) {
        SCOPED_TRACE(std::string(c.switchText) + (c.administrator ? " as no administrator" : ""));
        EXPECT_EQ(0u, Run(c.switchText, c.administrator));
        EXPECT_EQ(StartTypeWarning(), Messages());
        ASSERT_EQ(SERVICE_RUNNING, WaitForState(SERVICE_RUNNING).state);
        EXPECT_EQ(program, RegistryText("ImagePath"));
        EXPECT_EQ(kDescription, RegistryText("Description"));
        const strHttpAnswer ident = HttpGet(port, "/api/ident");
        EXPECT_EQ(200, ident.status) << ident.body;
        RemoveService();
    }
}

TEST_F(InstallerTest, InstallingAgainFailsAtCreate) {
    ASSERT_EQ(0u, Run("/AdmInstall"));
    ASSERT_EQ(SERVICE_RUNNING, WaitForState(SERVICE_RUNNING).state);
    const std::string failure =
        LoggedFailure(kErrorFlags, "Error al crear el servicio", "SC", ScFailure(kServiceExists));
    EXPECT_EQ(kFailed, Run("/AdmInstall"));
    EXPECT_EQ(failure, Messages()) << "nothing after CREATE runs, so nothing else is told";
    EXPECT_EQ(kFailed, Run("/Install", "no")) << "the elevated run's exit code";
    EXPECT_EQ(failure, Messages()) << "the first run tells nothing of its own";
    EXPECT_EQ(SERVICE_RUNNING, QueryService().state);
}

TEST_F(InstallerTest, UninstallStopsWaitsAndDeletesTheService) {
    struct strCase {
        const char* switchText;
        const char* administrator;
    };
    for (const strCase& c : {strCase{"/AdmUninstall", nullptr}, strCase{"/Uninstall", "no"}}) {
        SCOPED_TRACE(c.switchText);
        ASSERT_EQ(0u, Run("/AdmInstall"));
        ASSERT_EQ(SERVICE_RUNNING, WaitForState(SERVICE_RUNNING).state);
        EXPECT_EQ(0u, Run(c.switchText, c.administrator));
        EXPECT_EQ("", Messages()) << "the status query read STOPPED back through the pipe";
        EXPECT_EQ(-1, QueryService().state) << "deleted";
        EXPECT_EQ(0, HttpGet(port, "/api/ident").status) << "no longer listening";
    }
}

TEST_F(InstallerTest, UninstallingAMissingServiceTellsTheFailedQueryAndEndsWithZero) {
    EXPECT_EQ(0u, Run("/AdmUninstall"));
    EXPECT_EQ(LoggedFailure(kErrorFlags, "Error al leer el estado del servicio", "system",
                            ScFailure(kNoSuchService)),
              Messages());
}

TEST_F(InstallerTest, ElevatedRunWithoutTheRightsSaysSoAndRunsNothing) {
    struct strCase {
        const char* switchText;
        const char* message;
    };
    const strCase cases[] = {
        {"/AdmInstall", "El instalador no tiene los permisos de administrador"},
        {"/AdmUninstall", "No se tiene los permisos de administrador para desinstalar"},
    };
    UseStandIns();
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.switchText);
        EXPECT_EQ(kFailed, Run(c.switchText, "no"));
        EXPECT_EQ(Logged(kInformationFlags, c.message), Messages());
        EXPECT_EQ(std::vector<std::string>{}, Calls());
    }
}

TEST_F(InstallerTest, InstallRunsSCAndNetshWithTheirCommandLinesByteForByte) {
    UseStandIns();
    EXPECT_EQ(0u, Run("/AdmInstall"));
    EXPECT_EQ("", Messages());
    EXPECT_EQ(InstallCalls(), Calls());
}

TEST_F(InstallerTest, InstallFailuresStopTheRunOrAreWarnings) {
    struct strCase {
        const char* tool;
        const char* answer;
        DWORD exitCode;
        size_t callsRun;
        std::string messages;
    };
    const strCase cases[] = {
        {"SC", "CREATE 1073", kFailed, 1,
         LoggedFailure(kErrorFlags, "Error al crear el servicio", "SC", kServiceExists)},
        {"SC", "DESCRIPTION 87", kFailed, 2,
         LoggedFailure(kErrorFlags, "Error al configurar la descripci\xF3n del servicio", "SC",
                       87)},
        {"SC", "START 1056", kFailed, 3,
         LoggedFailure(kErrorFlags, "Error al iniciar el servicio", "SC", 1056)},
        {"SC", "CONFIG 1072", 0, 5,
         LoggedFailure(kWarningFlags, "Error al configurar el tipo de inicio del servicio", "SC",
                       1072)},
        {"netsh", "advfirewall 1", 0, 5,
         LoggedFailure(kWarningFlags, "No se pudo configurar el FireWall de Windows", "netsh", 1)},
    };
    UseStandIns();
    const std::vector<std::string> all = InstallCalls();
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.answer);
        Answer("SC", "");
        Answer("netsh", "");
        Answer(c.tool, std::string(c.answer) + "\n");
        EXPECT_EQ(c.exitCode, Run("/AdmInstall"));
        EXPECT_EQ(c.messages, Messages());
        EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + c.callsRun), Calls());
    }
}

// The state is read back through the pipe, as SC's report written into it by
// the command interpreter.
TEST_F(InstallerTest, UninstallWaitsForStoppedThenDeletesAndRemovesTheRule) {
    struct strCase {
        const char* what;
        const char* sc;
        const char* netsh;
        int queries;
        std::string messages;
    };
    const std::string queryFailed = "Error al leer el estado del servicio";
    const strCase cases[] = {
        {"stopped at once, its STOP failure untold", "STOP 1062\nQUERY 0 STATE : 1 STOPPED\n", "",
         1, ""},
        {"stops after two more queries",
         "QUERY 0 STATE : 4 RUNNING\nQUERY 0 STATE : 3 STOP_PENDING\nQUERY 0 state : 1 stopped\n",
         "", 3, ""},
        {"no such service", "QUERY 1060\nDELETE 1060\n", "", 1,
         LoggedFailure(kErrorFlags, queryFailed, "system", kNoSuchService)},
        {"a report with nothing in it", "QUERY 0\n", "", 1,
         LoggedFailure(kErrorFlags, queryFailed, "ReadFile", kBrokenPipe)},
        {"rule removal fails", "QUERY 0 STATE : 1 STOPPED\n", "advfirewall 1\n", 1,
         LoggedFailure(kWarningFlags, "No se pudo configurar el FireWall de Windows", "netsh", 1)},
    };
    UseStandIns();
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        Answer("SC", c.sc);
        Answer("netsh", c.netsh);
        EXPECT_EQ(0u, Run("/AdmUninstall")) << "whatever the steps gave";
        EXPECT_EQ(c.messages, Messages());
        EXPECT_EQ(RemovalCalls(c.queries), Calls());
    }
}

TEST_F(InstallerTest, ServiceThatDoesNotStopIsQueriedTenTimesHalfASecondApart) {
    UseStandIns();
    Answer("SC", "QUERY 0 STATE : 4 RUNNING\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, Run("/AdmUninstall"));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ("", Messages());
    EXPECT_EQ(RemovalCalls(10), Calls()) << "deleted anyway, after the tenth pause";
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
}

// The pipe has one instance: while another query holds it (made as the
// installer makes it), a query fails at once. Windows refuses a first
// instance whose name exists; Wine ignores that flag and refuses it for the
// instance count.
TEST_F(InstallerTest, StatusQueryFailsWhileAnotherHoldsThePipe) {
    HANDLE taken = CreateNamedPipeA("\\\\.\\pipe\\TesmoApi.Service.QueryPipe",
                                    PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                    PIPE_TYPE_MESSAGE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096,
                                    4096, NMPWAIT_WAIT_FOREVER, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, taken);
    UseStandIns();
    EXPECT_EQ(0u, Run("/AdmUninstall"));
    CloseHandle(taken);
    EXPECT_EQ(LoggedFailure(kErrorFlags, "Error al leer el estado del servicio", "CreateNamedPipe",
                            UnderWine() ? kPipeBusy : kAccessDenied),
              Messages());
    EXPECT_EQ(RemovalCalls(0), Calls()) << "the wait ends at once";
}

}  // namespace

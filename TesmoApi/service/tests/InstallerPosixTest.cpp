// Runs the program's installer and uninstaller, in the program's test build,
// with stand-ins for systemctl, sudo, ufw, firewall-cmd and useradd as the
// only tools on PATH (they record their arguments and answer as each case
// says) and the unit folder redirected, and checks the order of the commands, which failures
// stop the run, what the person is told and the exit status. Then, where
// systemd runs, one installation for real.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ProgramTestSupport_posix.h"
#include "service/ServiceUnit.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFailed = 255;  // exit code -1
constexpr char kMessageStart[] = "TesmoApi 1.0: ";
constexpr char kUseradd[] =
    "useradd --system --user-group --no-create-home --home-dir /nonexistent --shell "
    "/usr/sbin/nologin tesmoapi";

std::string ReadFile(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

// What the person is told of a failure, as standard error shows it.
std::string Failure(const std::string& message, const std::string& function, unsigned code) {
    return kMessageStart + message + "\n\n    Función: " + function +
           "\n    Código: " + std::to_string(code) + "\n";
}

struct strRun {
    int status;
    std::string errors;
    std::vector<std::string> calls;
};

// A copy of the program with a configuration, a folder of tool stand-ins that
// is the whole PATH, and a unit folder of its own.
class InstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doubles = folder.Path() / "doubles";
        units = folder.Path() / "units";
        fs::create_directory(doubles);
        fs::create_directory(units);
        for (const char* tool : {"systemctl", "sudo", "useradd"}) AddTool(tool);
        // The service account exists unless a case says otherwise; the test
        // build takes the accounts the stand-ins list as the machine's.
        std::ofstream(doubles / "accounts") << kServiceUser << '\n';
        folder.Write("TesmoApi.json", Config(port));
        program = (folder.Path() / "TesmoApi").string();
        // The program's test build, whose administrator test and unit folder
        // the runs steer.
        const fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
        fs::copy_file(own / "TesmoApiTestBuild", program, fs::copy_options::overwrite_existing);
        unit = units / "TesmoApi.service";
        record = units / "TesmoApi.firewall";
    }

    void AddTool(const std::string& name) const {
        const fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
        fs::create_symlink(own / "InstallerToolDouble", doubles / name);
    }
    void RemoveTool(const std::string& name) const { fs::remove(doubles / name); }
    // Lines of "<first parameter or *> <exit code> [output]" for the tool.
    void Answer(const std::string& tool, const std::string& lines) const {
        std::ofstream(doubles / (tool + ".answers"), std::ios::app) << lines;
    }

    // Runs the program with the switch; administrator: the answer of its
    // administrator test.
    strRun Run(const std::string& switchText, const char* administrator = "yes") {
        fs::remove(doubles / "calls");
        ProgramRun run(folder, {switchText}, Environment(administrator));
        strRun result{run.Wait(), run.ErrorOutput(), Calls()};
        return result;
    }

    std::vector<std::string> Environment(const char* administrator) const {
        return {"PATH=" + doubles.string(), "TESMO_DOUBLE_FOLDER=" + doubles.string(),
                "TESMOAPI_TEST_UNIT_FOLDER=" + units.string(),
                std::string("TESMOAPI_TEST_ADMINISTRATOR=") + administrator};
    }

    std::vector<std::string> Calls() const {
        std::vector<std::string> result;
        std::istringstream calls(ReadFile(doubles / "calls"));
        for (std::string line; std::getline(calls, line);) result.push_back(line);
        return result;
    }

    // The commands of a successful installation for an existing account,
    // with the firewall's last.
    std::vector<std::string> InstallCalls(const std::vector<std::string>& firewall = {}) const {
        std::vector<std::string> calls;
        for (const char* call :
             {"systemctl daemon-reload", "systemctl start TesmoApi", "systemctl enable TesmoApi"}) {
            calls.push_back(call);
        }
        calls.insert(calls.end(), firewall.begin(), firewall.end());
        return calls;
    }

    std::string Rule() const { return std::to_string(port) + "/tcp"; }

    ProgramFolder folder;
    unsigned short port = FreePort();
    fs::path doubles;
    fs::path units;
    fs::path unit;
    fs::path record;  // the firewall rule the installation added
    std::string program;
};

TEST_F(InstallerTest, InstallWritesTheUnitThenRunsEachStepInOrder) {
    struct strCase {
        const char* what;
        std::vector<std::string> tools;
        std::vector<std::string> firewall;
        std::string record;
    };
    const std::string rule = Rule();
    const strCase cases[] = {
        {"no firewall tool", {}, {}, ""},
        {"ufw", {"ufw"}, {"ufw allow " + rule}, "ufw " + rule + "\n"},
        {"firewall-cmd, at once and for good",
         {"firewall-cmd"},
         {"firewall-cmd --add-port=" + rule, "firewall-cmd --permanent --add-port=" + rule},
         "firewall-cmd " + rule + "\n"},
        {"ufw before firewall-cmd",
         {"ufw", "firewall-cmd"},
         {"ufw allow " + rule},
         "ufw " + rule + "\n"},
    };
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& tool : c.tools) AddTool(tool);
        const strRun run = Run("/AdmInstall");
        EXPECT_EQ(0, run.status);
        EXPECT_EQ("", run.errors);
        EXPECT_EQ(InstallCalls(c.firewall), run.calls);
        ASSERT_TRUE(fs::exists(unit));
        EXPECT_EQ(fs::perms(0644), fs::status(unit).permissions() & fs::perms::mask);
        EXPECT_NE(std::string::npos, ReadFile(unit).find("\nExecStart=" + program + "\n"));
        EXPECT_EQ(c.record, ReadFile(record));
        fs::remove(unit);
        fs::remove(record);
        for (const std::string& tool : c.tools) RemoveTool(tool);
    }
}

// The unit written is the one for the program's folder, with the service
// account where there is one; ServiceUnitTest shows that it is the
// packaged unit for /opt/TesmoApi.
TEST_F(InstallerTest, UnitIsTheOneForTheProgramsFolder) {
    ASSERT_EQ(0, Run("/AdmInstall").status);
    std::string expected;
    ASSERT_TRUE(FormatServiceUnit(program.c_str(), kServiceUser, &expected));
    EXPECT_EQ(expected, ReadFile(unit));
}

TEST_F(InstallerTest, InstallFailuresStopTheRunOrAreWarnings) {
    struct strCase {
        const char* what;
        const char* tool;
        const char* answers;
        int status;
        size_t callsRun;  // of the successful installation's, with ufw
        std::string errors;
    };
    const std::vector<std::string> all = InstallCalls({"ufw allow " + Rule()});
    const size_t first = all.size() - 4;
    const strCase cases[] = {
        {"reload", "systemctl", "daemon-reload 1\n", kFailed, first + 1,
         Failure("Error al configurar la descripción del servicio", "systemctl", 1)},
        {"start", "systemctl", "start 3\n", kFailed, first + 2,
         Failure("Error al iniciar el servicio", "systemctl", 3)},
        {"enable", "systemctl", "enable 1\n", 0, all.size(),
         Failure("Error al configurar el tipo de inicio del servicio", "systemctl", 1)},
        {"firewall", "ufw", "allow 1\n", 0, all.size(),
         Failure("No se pudo configurar el FireWall", "ufw", 1)},
    };
    AddTool("ufw");
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(doubles / (std::string(c.tool) + ".answers"));
        Answer(c.tool, c.answers);
        const strRun run = Run("/AdmInstall");
        EXPECT_EQ(c.status, run.status);
        EXPECT_EQ(c.errors, run.errors);
        EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + c.callsRun), run.calls);
        EXPECT_TRUE(fs::exists(unit)) << "steps done are not undone";
        fs::remove(unit);
        fs::remove(doubles / (std::string(c.tool) + ".answers"));
    }
}

// The service never runs as root: without its own account, made where it is
// missing, and the configuration made the account's, there is no unit.
TEST_F(InstallerTest, WithoutItsAccountTheServiceIsNotInstalled) {
    struct strCase {
        const char* what;
        bool accountExists;
        const char* useraddAnswer;
        bool configurationLoops;  // a symbolic link to itself: chown fails
        int status;
        std::vector<std::string> calls;
        std::string errors;
    };
    std::vector<std::string> madeThenInstalled = {kUseradd};
    for (const std::string& call : InstallCalls()) madeThenInstalled.push_back(call);
    const strCase cases[] = {
        {"a missing account is made", false, "", false, 0, madeThenInstalled, ""},
        {"useradd fails",
         false,
         "* 9\n",
         false,
         kFailed,
         {kUseradd},
         Failure("Error al crear el servicio", "useradd", 9)},
        {"useradd cannot be run",
         false,
         nullptr,
         false,
         kFailed,
         {},
         Failure("Error al crear el servicio", "posix_spawnp", ENOENT)},
        {"the configuration cannot be given to it",
         true,
         "",
         true,
         kFailed,
         {},
         Failure("Error al crear el servicio", "chown", ELOOP)},
    };
    const fs::path configuration = folder.Path() / "TesmoApi.json";
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(doubles / "accounts", std::ios::trunc)
            << (c.accountExists ? "tesmoapi\n" : "");
        fs::remove(doubles / "useradd.answers");
        if (c.useraddAnswer == nullptr) RemoveTool("useradd");
        if (c.useraddAnswer != nullptr) Answer("useradd", c.useraddAnswer);
        const std::string text = ReadFile(configuration);
        if (c.configurationLoops) {
            fs::remove(configuration);
            fs::create_symlink(configuration, configuration);
        }
        const strRun run = Run("/AdmInstall");
        EXPECT_EQ(c.status, run.status);
        EXPECT_EQ(c.errors, run.errors);
        EXPECT_EQ(c.calls, run.calls);
        if (c.status == 0) {
            EXPECT_NE(std::string::npos, ReadFile(unit).find("\nUser=tesmoapi\n"))
                << ReadFile(unit);
        } else {
            EXPECT_FALSE(fs::exists(unit)) << ReadFile(unit);
        }
        fs::remove(unit);
        fs::remove(configuration);
        folder.Write("TesmoApi.json", text);
        if (c.useraddAnswer == nullptr) AddTool("useradd");
    }
}

// It holds the Tesmo server's password: readable by the service's account
// only.
TEST_F(InstallerTest, ConfigurationIsMadeTheAccountsAlone) {
    const fs::path configuration = folder.Path() / "TesmoApi.json";
    fs::permissions(configuration, fs::perms(0664));
    ASSERT_EQ(0, Run("/AdmInstall").status);
    struct stat status {};
    ASSERT_EQ(0, stat(configuration.c_str(), &status));
    EXPECT_EQ(0600u, status.st_mode & 07777);
    EXPECT_EQ(geteuid(), status.st_uid) << "the account as the test build finds it";
    EXPECT_EQ(getegid(), status.st_gid);
}

TEST_F(InstallerTest, FirewallWithoutAReadableConfigurationIsAWarning) {
    AddTool("ufw");
    fs::remove(folder.Path() / "TesmoApi.json");
    const strRun run = Run("/AdmInstall");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(Failure("No se pudo configurar el FireWall", "TesmoApi.json", 1002), run.errors);
    EXPECT_EQ(InstallCalls(), run.calls);
}

TEST_F(InstallerTest, CreateFailsWhereTheUnitCannotBeWrittenAndNothingElseRuns) {
    ASSERT_EQ(0, Run("/AdmInstall").status);
    const std::string installed = ReadFile(unit);
    strRun run = Run("/AdmInstall");
    EXPECT_EQ(kFailed, run.status);
    EXPECT_EQ(Failure("Error al crear el servicio", "open", EEXIST), run.errors);
    EXPECT_EQ(std::vector<std::string>{}, run.calls);
    EXPECT_EQ(installed, ReadFile(unit)) << "an installed service's unit is never overwritten";

    fs::remove_all(units);
    run = Run("/AdmInstall");
    EXPECT_EQ(kFailed, run.status);
    EXPECT_EQ(Failure("Error al crear el servicio", "open", ENOENT), run.errors);
    EXPECT_EQ(std::vector<std::string>{}, run.calls);
}

TEST_F(InstallerTest, UninstallStopsWaitsRemovesTheUnitAndWithdrawsTheRule) {
    struct strCase {
        const char* what;
        const char* systemctl;
        const char* ufw;
        int queries;
        std::string errors;
    };
    const strCase cases[] = {
        {"stopped at once", "is-active 3 inactive\n", "", 1, ""},
        {"stops after two queries",
         "is-active 0 active\nis-active 0 deactivating\nis-active 3 failed\n", "", 3, ""},
        {"the state cannot be read", "is-active 4\n", "", 1,
         Failure("Error al leer el estado del servicio", "systemctl", 4)},
        {"not installed", "stop 5\nis-active 3 inactive\ndisable 1\n", "", 1, ""},
        {"rule removal fails", "is-active 3 inactive\n", "delete 1\n", 1,
         Failure("No se pudo configurar el FireWall", "ufw", 1)},
    };
    AddTool("ufw");
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(unit) << "[Unit]\n";
        std::ofstream(record) << "ufw " << Rule() << "\n";
        fs::remove(doubles / "systemctl.answers");
        fs::remove(doubles / "ufw.answers");
        Answer("systemctl", c.systemctl);
        Answer("ufw", c.ufw);
        const strRun run = Run("/AdmUninstall");
        std::vector<std::string> calls = {"systemctl stop TesmoApi"};
        calls.insert(calls.end(), c.queries, "systemctl is-active TesmoApi");
        calls.push_back("systemctl disable TesmoApi");
        calls.push_back("systemctl daemon-reload");
        calls.push_back("ufw delete allow " + Rule());
        EXPECT_EQ(0, run.status) << "whatever the steps gave";
        EXPECT_EQ(c.errors, run.errors);
        EXPECT_EQ(calls, run.calls);
        EXPECT_FALSE(fs::exists(unit));
        EXPECT_EQ(std::string(c.ufw).empty(), !fs::exists(record)) << "kept while its rule stays";
    }
}

// The rule withdrawn is the one the installation added, as it recorded it
// beside the unit, whatever the configuration says now; without a record
// there is none to withdraw.
TEST_F(InstallerTest, UninstallWithdrawsTheRuleTheInstallationAdded) {
    struct strCase {
        const char* what;
        const char* tool;  // at installation; nullptr: none
        std::vector<std::string> withdrawal;
    };
    const std::string rule = Rule();
    const strCase cases[] = {
        {"ufw", "ufw", {"ufw delete allow " + rule}},
        {"firewall-cmd",
         "firewall-cmd",
         {"firewall-cmd --remove-port=" + rule, "firewall-cmd --permanent --remove-port=" + rule}},
        {"no firewall tool at installation", nullptr, {}},
    };
    Answer("systemctl", "is-active 3 inactive\n");
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        folder.Write("TesmoApi.json", Config(port));
        if (c.tool != nullptr) AddTool(c.tool);
        ASSERT_EQ(0, Run("/AdmInstall").status);
        if (c.tool != nullptr) RemoveTool(c.tool);
        folder.Write("TesmoApi.json", Config(FreePort()));  // the port changed since
        AddTool("ufw");
        AddTool("firewall-cmd");
        const strRun run = Run("/AdmUninstall");
        EXPECT_EQ(0, run.status);
        EXPECT_EQ("", run.errors);
        const size_t removal = 4;  // stop, is-active, disable, daemon-reload
        ASSERT_GE(run.calls.size(), removal);
        const std::vector<std::string> firewall(run.calls.begin() + removal, run.calls.end());
        EXPECT_EQ(c.withdrawal, firewall);
        EXPECT_FALSE(fs::exists(record));
        RemoveTool("ufw");
        RemoveTool("firewall-cmd");
    }
}

TEST_F(InstallerTest, ServiceThatDoesNotStopIsAskedTenTimesHalfASecondApart) {
    Answer("systemctl", "is-active 0 active\n");
    const auto start = std::chrono::steady_clock::now();
    const strRun run = Run("/AdmUninstall");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(0, run.status);
    std::vector<std::string> calls = {"systemctl stop TesmoApi"};
    calls.insert(calls.end(), 10, "systemctl is-active TesmoApi");
    calls.push_back("systemctl disable TesmoApi");
    calls.push_back("systemctl daemon-reload");
    EXPECT_EQ(calls, run.calls) << "removed anyway, after the tenth pause";
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
}

// Ctrl-C in a terminal signals the installer and every run it started (one
// process group): a removal waiting for a service that does not stop ends at
// once, also when it runs elevated, started through sudo.
TEST_F(InstallerTest, CtrlCInterruptsTheInstallerAndTheRunsItStarted) {
    struct strCase {
        const char* switchText;
        const char* administrator;
    };
    Answer("systemctl", "is-active 0 active\n");
    for (const strCase& c : {strCase{"/AdmUninstall", "yes"}, strCase{"/Uninstall", "no"}}) {
        SCOPED_TRACE(c.switchText);
        fs::remove(doubles / "calls");
        ProgramRun run(folder, {c.switchText}, Environment(c.administrator));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const auto interrupted = std::chrono::steady_clock::now();
        run.SignalGroup(SIGINT);
        EXPECT_EQ(-1, run.Wait()) << "ended by the signal, not by finishing its work";
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - interrupted);
        EXPECT_LT(took.count(), 2000) << "milliseconds after the signal";
        EXPECT_EQ("", run.ErrorOutput());
        const std::vector<std::string> calls = Calls();
        EXPECT_FALSE(std::find(calls.begin(), calls.end(), "systemctl disable TesmoApi") !=
                     calls.end())
            << "the removal did not go on";
    }
}

TEST_F(InstallerTest, WithoutRootTheProgramRunsItselfThroughSudo) {
    struct strCase {
        const char* switchText;
        const char* elevated;
        std::vector<std::string> then;
    };
    const std::vector<std::string> removal = {
        "systemctl stop TesmoApi", "systemctl is-active TesmoApi", "systemctl disable TesmoApi",
        "systemctl daemon-reload"};
    Answer("systemctl", "is-active 3 inactive\n");
    const strCase cases[] = {
        {"/Install", "/AdmInstall", InstallCalls()},
        {"/uNiNsTaLl", "/AdmUninstall", removal},
        {"/INSTALL", "/AdmInstall", InstallCalls()},
        {"/Uninstall", "/AdmUninstall", removal},
    };
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.switchText);
        const strRun run = Run(c.switchText, "no");
        std::vector<std::string> calls = {"sudo " + program + " " + c.elevated};
        calls.insert(calls.end(), c.then.begin(), c.then.end());
        EXPECT_EQ(0, run.status);
        EXPECT_EQ("", run.errors);
        EXPECT_EQ(calls, run.calls);
    }
}

TEST_F(InstallerTest, ElevationFailuresAreToldOnceAndGiveMinusOne) {
    struct strCase {
        const char* what;
        const char* switchText;
        const char* sudoAnswer;
        bool withSudo;
        bool unitExists;
        std::string errors;
        size_t calls;
    };
    const strCase cases[] = {
        {"sudo refused", "/Install", "* 1\n", true, false,
         Failure("No se pudo iniciar la instalación del servicio", "sudo", 1), 1},
        {"no sudo", "/Uninstall", "", false, false,
         Failure("No se pudo iniciar la desinstalación del servicio", "posix_spawnp", ENOENT), 0},
        {"the elevated run fails and tells why itself", "/Install", "", true, true,
         Failure("Error al crear el servicio", "open", EEXIST), 1},
        {"the elevated run is not root either", "/AdmInstall", "", true, false,
         std::string(kMessageStart) + "El instalador no tiene los permisos de administrador\n", 0},
        {"nor for removal", "/AdmUninstall", "", true, false,
         std::string(kMessageStart) +
             "No se tiene los permisos de administrador para desinstalar\n",
         0},
    };
    for (const strCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(doubles / "sudo.answers");
        Answer("sudo", c.sudoAnswer);
        if (!c.withSudo) RemoveTool("sudo");
        if (c.unitExists) std::ofstream(unit) << "[Unit]\n";
        const strRun run = Run(c.switchText, "no");
        EXPECT_EQ(kFailed, run.status);
        EXPECT_EQ(c.errors, run.errors);
        EXPECT_EQ(c.calls, run.calls.size());
        if (!c.withSudo) AddTool("sudo");
        fs::remove(unit);
    }
}

// Where systemd runs and this is root: install a copy of the program outside
// /tmp (the unit gives the service a private /tmp), ask it over HTTP, remove
// it. The firewall tools stay stand-ins: the machine's firewall is left
// alone.
TEST(InstallerSystemd, InstallsAndRemovesTheServiceForReal) {
    if (!fs::exists("/run/systemd/system")) {
        GTEST_SKIP() << "systemd is not running on this machine: no real installation";
    }
    if (geteuid() != 0) GTEST_SKIP() << "a real installation needs root";
    if (fs::exists("/etc/systemd/system/TesmoApi.service")) {
        GTEST_SKIP() << "a TesmoApi service is already installed on this machine";
    }
    fs::create_directories("/opt");
    ProgramFolder folder("/opt");
    fs::permissions(folder.Path(), fs::perms(0755));
    const unsigned short port = FreePort();
    folder.Write("TesmoApi.json", Config(port));
    fs::permissions(folder.Path() / "TesmoApi.json", fs::perms(0600));
    const fs::path doubles = folder.Path() / "doubles";
    fs::create_directory(doubles);
    const fs::path own = fs::read_symlink("/proc/self/exe").parent_path();
    for (const char* tool : {"ufw", "firewall-cmd"}) {
        fs::create_symlink(own / "InstallerToolDouble", doubles / tool);
    }
    const std::vector<std::string> environment = {"PATH=" + doubles.string() + ":" + getenv("PATH"),
                                                  "TESMO_DOUBLE_FOLDER=" + doubles.string()};
    // Removes what a failed check below would leave installed.
    struct strRemoval {
        const ProgramFolder& folder;
        const std::vector<std::string>& environment;
        ~strRemoval() {
            if (fs::exists("/etc/systemd/system/TesmoApi.service")) {
                ProgramRun(folder, {"/Uninstall"}, environment).Wait();
            }
        }
    } removeAtTheEnd{folder, environment};
    ProgramRun install(folder, {"/Install"}, environment);
    ASSERT_EQ(0, install.Wait()) << install.ErrorOutput();
    EXPECT_EQ("ufw allow " + std::to_string(port) + "/tcp\n", ReadFile(doubles / "calls"));
    const strHttpAnswer ident = HttpGet(port, "/api/ident");
    EXPECT_EQ(200, ident.status);
    EXPECT_NE(std::string::npos, ident.body.find("\"api\"")) << ident.body;
    ProgramRun removal(folder, {"/Uninstall"}, environment);
    EXPECT_EQ(0, removal.Wait()) << removal.ErrorOutput();
    EXPECT_FALSE(fs::exists("/etc/systemd/system/TesmoApi.service"));
    EXPECT_EQ(0, HttpGet(port, "/api/ident").status) << "no longer listening";
}

}  // namespace

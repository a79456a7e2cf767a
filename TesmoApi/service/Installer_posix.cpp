// The installer on Linux, the same steps mapped onto systemd: root is the
// administrator, sudo the elevation, a unit file in /etc/systemd/system the
// registration, systemctl the service manager, and ufw or firewall-cmd (where
// one is present) the firewall. Every tool is found on PATH.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "service/Configuration.h"
#include "service/HostSystem.h"
#include "service/Installer.h"
#include "service/InstallerPlatform.h"
#include "service/ServiceUnit.h"

extern char** environ;

const char kFirewallMessage[] = "No se pudo configurar el FireWall";
const char kProgramFileNameFunction[] = "readlink";

namespace {

constexpr char kSystemctl[] = "systemctl";
constexpr char kSudo[] = "sudo";
constexpr char kUfw[] = "ufw";
constexpr char kFirewallCmd[] = "firewall-cmd";
constexpr char kUseradd[] = "useradd";

constexpr char kUnitFileName[] = "TesmoApi.service";
constexpr mode_t kUnitMode = 0644;
constexpr mode_t kConfigurationMode = 0600;
constexpr char kFirewallRecordName[] = "TesmoApi.firewall";
constexpr mode_t kRecordMode = 0644;
// Room for a record: a tool's name, a port and "/tcp".
constexpr size_t kRecordSize = 64;

// The elevated run's exit status for its exit code -1.
constexpr int kElevatedFailedStatus = 255;
// Bytes of systemctl's state report read back.
constexpr size_t kReportSize = 4096;
constexpr char kQueryMessage[] = "Error al leer el estado del servicio";

using strArguments = std::initializer_list<const char*>;

// Reads from fd (none when fd is -1) until its end into output, keeping at
// most size - 1 bytes and a terminator, so that the writer never blocks.
void ReadToEnd(int fd, char* output, size_t size) {
    size_t length = 0;
    char chunk[kReportSize];
    for (;;) {
        const ssize_t n = fd < 0 ? 0 : read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n && length + 1 < size; ++i) output[length++] = chunk[i];
    }
    output[length] = '\0';
}

// Runs arguments[0], found on PATH, and waits for it. With output, its
// standard output is read into output (at most size - 1 bytes, terminated;
// the rest is read and dropped). False when it could not be started or did
// not end by itself; *failure then says why. Else *status is its exit
// status.
bool RunProcess(strArguments arguments, char* output, size_t size, int* status,
                strFailure* failure) {
    std::vector<char*> argv;
    for (const char* argument : arguments) argv.push_back(const_cast<char*>(argument));
    argv.push_back(nullptr);
    int report[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output != nullptr) {
        if (pipe2(report, O_CLOEXEC) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            *failure = {"pipe", static_cast<unsigned>(errno)};
            return false;
        }
        posix_spawn_file_actions_adddup2(&actions, report[1], STDOUT_FILENO);
    }
    pid_t child;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output != nullptr) close(report[1]);
    if (output != nullptr) {
        ReadToEnd(spawned == 0 ? report[0] : -1, output, size);
        close(report[0]);
    }
    if (spawned != 0) {
        *failure = {"posix_spawnp", static_cast<unsigned>(spawned)};
        return false;
    }
    int end;
    while (waitpid(child, &end, 0) < 0) {
        if (errno != EINTR) {
            *failure = {"waitpid", static_cast<unsigned>(errno)};
            return false;
        }
    }
    if (!WIFEXITED(end)) {
        *failure = {"waitpid", static_cast<unsigned>(WTERMSIG(end))};
        return false;
    }
    *status = WEXITSTATUS(end);
    return true;
}

// Runs one tool for a step; with the step's checkExitCode an exit status
// other than 0 is a failure named after the tool.
bool RunTool(const strServiceStep& step, strArguments arguments) {
    int status = 0;
    strFailure failure{};
    if (!RunProcess(arguments, nullptr, 0, &status, &failure)) {
        ShowFailure(step.message, failure, step.icon);
        return false;
    }
    if (step.checkExitCode && status != 0) {
        ShowFailure(step.message, {*arguments.begin(), static_cast<unsigned>(status)}, step.icon);
        return false;
    }
    return true;
}

bool Fail(const strServiceStep& step, const char* function, int code) {
    ShowFailure(step.message, {function, static_cast<unsigned>(code)}, step.icon);
    return false;
}

bool IsOnPath(const char* tool) {
    const char* path = getenv("PATH");
    if (path == nullptr) return false;
    for (const char* start = path;; ++start) {
        const char* end = strchr(start, ':');
        const std::string folder = end == nullptr ? start : std::string(start, end);
        if (!folder.empty() && access((folder + "/" + tool).c_str(), X_OK) == 0) return true;
        if (end == nullptr) return false;
        start = end;
    }
}

std::string UnitPath() {
    return std::string(SystemdUnitFolder()) + "/" + kUnitFileName;
}

// The program's folder with its final separator.
std::string FolderOf(const char* program) {
    const std::string path = program;
    return path.substr(0, path.rfind('/') + 1);
}

bool FailWith(strFailure* failure, const char* function, int code) {
    *failure = {function, static_cast<unsigned>(code)};
    return false;
}

// The service's own account, made where it is missing, and made owner of the
// configuration with mode 600 (it holds the password), so that the service,
// and no other account, can read it. False, with *failure naming the call or
// tool, when either cannot be done: the service is then not installed, for
// it must never run as root.
bool ProvideServiceAccount(const char* program, strFailure* failure) {
    unsigned user = 0;
    unsigned group = 0;
    if (!FindAccount(kServiceUser, &user, &group)) {
        int status = 0;
        if (!RunProcess({kUseradd, "--system", "--user-group", "--no-create-home", "--home-dir",
                         "/nonexistent", "--shell", "/usr/sbin/nologin", kServiceUser},
                        nullptr, 0, &status, failure)) {
            return false;
        }
        if (status != 0) return FailWith(failure, kUseradd, status);
        if (!FindAccount(kServiceUser, &user, &group)) return FailWith(failure, "getpwnam", ENOENT);
    }
    const std::string configuration = FolderOf(program) + kConfigurationFileName;
    // Without a configuration the start step fails and says so.
    if (chown(configuration.c_str(), user, group) != 0) {
        return errno == ENOENT || FailWith(failure, "chown", errno);
    }
    if (chmod(configuration.c_str(), kConfigurationMode) != 0) {
        return FailWith(failure, "chmod", errno);
    }
    return true;
}

bool WriteAll(int fd, const std::string& text, strFailure* failure) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return FailWith(failure, "write", errno);
        done += static_cast<size_t>(n);
    }
    return true;
}

// Fails when the unit exists, so that an installed service is never
// overwritten; a unit that could not be written whole is removed.
bool CreateUnit(const strServiceStep& step, const char* program) {
    const std::string path = UnitPath();
    const int unit = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kUnitMode);
    if (unit < 0) return Fail(step, "open", errno);
    std::string text;
    strFailure failure{};
    bool written = ProvideServiceAccount(program, &failure);
    if (written && !FormatServiceUnit(program, kServiceUser, &text)) {
        written = FailWith(&failure, "ExecStart", EINVAL);
    }
    written = written && WriteAll(unit, text, &failure);
    if (close(unit) != 0 && written) written = FailWith(&failure, "close", errno);
    if (written) return true;
    unlink(path.c_str());
    ShowFailure(step.message, failure, step.icon);
    return false;
}

// The firewall rule an installation added: "<tool> <port>/tcp", in a file
// beside the unit (systemd reads only unit names there), so that the removal
// withdraws that rule and no other, whatever the configuration says by then.
std::string RecordPath() {
    return std::string(SystemdUnitFolder()) + "/" + kFirewallRecordName;
}

// Runs ufw or firewall-cmd to admit or withdraw the rule (a port, "/tcp"):
// firewall-cmd at once and for good.
bool RunFirewallTool(const strServiceStep& step, const std::string& tool, const std::string& rule,
                     bool admit) {
    if (tool == kUfw) {
        return admit ? RunTool(step, {kUfw, "allow", rule.c_str()})
                     : RunTool(step, {kUfw, "delete", "allow", rule.c_str()});
    }
    const std::string port = (admit ? "--add-port=" : "--remove-port=") + rule;
    return RunTool(step, {kFirewallCmd, port.c_str()}) &&
           RunTool(step, {kFirewallCmd, "--permanent", port.c_str()});
}

// The configured listen port (as the service takes it: its low 16 bits),
// admitted with ufw where it is present, else with firewall-cmd, and
// recorded; nothing where neither is.
bool AdmitToFirewall(const strServiceStep& step, const char* program) {
    const char* tool = IsOnPath(kUfw) ? kUfw : IsOnPath(kFirewallCmd) ? kFirewallCmd : nullptr;
    if (tool == nullptr) return true;
    const std::string configuration = FolderOf(program) + kConfigurationFileName;
    strConfigFault fault;
    if (!LoadConfiguration(configuration.c_str(), &fault)) {
        return Fail(step, kConfigurationFileName, kBadConfiguration);
    }
    const std::string rule = std::to_string(PortNumber(listenPort)) + "/tcp";
    if (!RunFirewallTool(step, tool, rule, true)) return false;
    const int record =
        open(RecordPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kRecordMode);
    if (record < 0) return Fail(step, "open", errno);
    strFailure failure{};
    const bool written = WriteAll(record, std::string(tool) + " " + rule + "\n", &failure);
    if (close(record) != 0 && written) return Fail(step, "close", errno);
    if (written) return true;
    ShowFailure(step.message, failure, step.icon);
    return false;
}

// Withdraws the recorded rule and forgets it; nothing without a record. A
// rule that could not be withdrawn stays recorded for the next removal.
bool WithdrawFromFirewall(const strServiceStep& step) {
    const std::string path = RecordPath();
    char text[kRecordSize] = {};
    const int record = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (record < 0) return errno == ENOENT || Fail(step, "open", errno);
    const ssize_t length = read(record, text, sizeof text - 1);
    close(record);
    const char* blank = length > 0 ? strchr(text, ' ') : nullptr;
    const std::string tool =
        blank == nullptr ? "" : std::string(static_cast<const char*>(text), blank);
    const std::string rule =
        blank == nullptr ? "" : std::string(blank + 1, strcspn(blank + 1, "\n"));
    if ((tool != kUfw && tool != kFirewallCmd) || rule.empty()) {
        return Fail(step, kFirewallRecordName, EINVAL);
    }
    if (!RunFirewallTool(step, tool, rule, false)) return false;
    unlink(path.c_str());
    return true;
}

// Not told when the service was not there: like the rest of the removal,
// only a tool that cannot be run is.
bool DeleteUnit(const strServiceStep& step) {
    const bool disabled = RunTool(step, {kSystemctl, "disable", kServiceName});
    unlink(UnitPath().c_str());
    return RunTool(step, {kSystemctl, "daemon-reload"}) && disabled;
}

int StateOfReport(const char* report) {
    const std::string state(report, strcspn(report, " \t\r\n"));
    if (state == "inactive" || state == "failed") return kStateStopped;
    if (state == "active" || state == "reloading") return kStateRunning;
    return kStateOther;
}

}  // namespace

int RunProgramElevated(const char* program, const char* switchText, const char* message) {
    int status = 0;
    strFailure failure{};
    if (!RunProcess({kSudo, program, switchText}, nullptr, 0, &status, &failure)) {
        ShowFailure(message, failure, eMessageIcon::Error);
        return kInstallFailed;
    }
    if (status == 0) return kInstallDone;
    if (status == kElevatedFailedStatus) return kInstallFailed;
    // Any other status is sudo's own: not allowed, or refused.
    ShowFailure(message, {kSudo, static_cast<unsigned>(status)}, eMessageIcon::Error);
    return kInstallFailed;
}

bool RunServiceStep(const strServiceStep& step, const char* program) {
    switch (step.step) {
        case eServiceStep::Create:
            return CreateUnit(step, program);
        case eServiceStep::Describe:
            return RunTool(step, {kSystemctl, "daemon-reload"});
        case eServiceStep::Start:
            return RunTool(step, {kSystemctl, "start", kServiceName});
        case eServiceStep::StartType:
            return RunTool(step, {kSystemctl, "enable", kServiceName});
        case eServiceStep::Firewall:
            return AdmitToFirewall(step, program);
        case eServiceStep::Stop:
            return RunTool(step, {kSystemctl, "stop", kServiceName});
        case eServiceStep::Delete:
            return DeleteUnit(step);
        case eServiceStep::FirewallRemoval:
            return WithdrawFromFirewall(step);
    }
    return false;
}

int QueryServiceState() {
    char report[kReportSize + 1];
    int status = 0;
    strFailure failure{};
    if (!RunProcess({kSystemctl, "is-active", kServiceName}, report, sizeof report, &status,
                    &failure)) {
        ShowFailure(kQueryMessage, failure, eMessageIcon::Error);
        return kStateQueryFailed;
    }
    if (report[strspn(report, " \t\r\n")] == '\0') {
        ShowFailure(kQueryMessage, {kSystemctl, static_cast<unsigned>(status)},
                    eMessageIcon::Error);
        return kStateQueryFailed;
    }
    return StateOfReport(report + strspn(report, " \t\r\n"));
}

#include "service/Installer.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "service/InstallerPlatform.h"

namespace {

// The error message is formatted into this many bytes.
constexpr size_t kFailureTextSize = 256;
// The wait for a stopping service: at most this many queries, this far apart.
constexpr int kStopQueries = 10;
constexpr std::chrono::milliseconds kStopQueryPause{500};

// What differs between installing and removing, around the work itself.
struct strAdministration {
    const char* cannotStart;       // the test or the elevated run failed
    const char* noProgramName;     // the program's file name could not be had
    const char* notAdministrator;  // the elevated run still lacks the rights
    const char* elevatedSwitch;    // the command line of the elevated run
    int (*work)(const char* program);
};

// Each with its exit code checked; a failure of the first three ends the run.
const strServiceStep kInstallSteps[] = {
    {eServiceStep::Create, true, "Error al crear el servicio", eMessageIcon::Error, true},
    {eServiceStep::Describe, true, "Error al configurar la descripción del servicio",
     eMessageIcon::Error, true},
    {eServiceStep::Start, true, "Error al iniciar el servicio", eMessageIcon::Error, true},
    {eServiceStep::StartType, true, "Error al configurar el tipo de inicio del servicio",
     eMessageIcon::Warning, false},
    {eServiceStep::Firewall, true, kFirewallMessage, eMessageIcon::Warning, false},
};

const strServiceStep kStop = {eServiceStep::Stop, false, "Error al detener el servicio",
                              eMessageIcon::Error, false};
const strServiceStep kDelete = {eServiceStep::Delete, false, "Error al eliminar el servicio",
                                eMessageIcon::Error, false};
const strServiceStep kFirewallRemoval = {eServiceStep::FirewallRemoval, true, kFirewallMessage,
                                         eMessageIcon::Warning, false};

// Steps already done are not undone when a later one fails.
int Install(const char* program) {
    for (const strServiceStep& step : kInstallSteps) {
        if (!RunServiceStep(step, program) && step.stopsRun) return kInstallFailed;
    }
    return kInstallDone;
}

// Ends when the service reports stopped, when it cannot be asked, or after
// the last pause (at most five seconds).
void WaitForStop() {
    for (int query = 0; query < kStopQueries; ++query) {
        if (QueryServiceState() <= kStateStopped) return;
        std::this_thread::sleep_for(kStopQueryPause);
    }
}

// What the steps give does not change the result.
int Uninstall(const char* program) {
    RunServiceStep(kStop, program);
    WaitForStop();
    RunServiceStep(kDelete, program);
    RunServiceStep(kFirewallRemoval, program);
    return kInstallDone;
}

const strAdministration kInstallation = {
    "No se pudo iniciar la instalación del servicio",
    "Error al instalar el servicio",
    "El instalador no tiene los permisos de administrador",
    "/AdmInstall",
    Install,
};

const strAdministration kRemoval = {
    "No se pudo iniciar la desinstalación del servicio",
    "No se pudo iniciar la desinstalación del servicio",
    "No se tiene los permisos de administrador para desinstalar",
    "/AdmUninstall",
    Uninstall,
};

int Administer(const strAdministration& job, bool mayElevate) {
    strFailure failure{};
    const eMembership membership = TestAdministrator(&failure);
    if (membership == eMembership::Unknown) {
        ShowFailure(job.cannotStart, failure, eMessageIcon::Error);
        return kInstallFailed;
    }
    if (membership == eMembership::NotMember && !mayElevate) {
        ShowMessage(job.notAdministrator, eMessageIcon::Information);
        return kInstallFailed;
    }
    char program[kProgramPathLength + 1];
    if (!GetProgramFileName(program, sizeof program, &failure.code)) {
        failure.function = kProgramFileNameFunction;
        const bool member = membership == eMembership::Member;
        ShowFailure(member ? job.noProgramName : job.cannotStart, failure, eMessageIcon::Error);
        return kInstallFailed;
    }
    if (membership == eMembership::Member) return job.work(program);
    return RunProgramElevated(program, job.elevatedSwitch, job.cannotStart);
}

}  // namespace

int InstallService(bool mayElevate) {
    return Administer(kInstallation, mayElevate);
}

int UninstallService(bool mayElevate) {
    return Administer(kRemoval, mayElevate);
}

void ShowFailure(const char* message, const strFailure& failure, eMessageIcon icon) {
    char text[kFailureTextSize];
    snprintf(text, sizeof text, "%s\n\n    Función: %s\n    Código: %u", message, failure.function,
             failure.code);
    ShowMessage(text, icon);
}

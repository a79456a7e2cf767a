// The platform half of the installer, in one vocabulary for Windows (SC,
// netsh, the Administrators group, "runas") and Linux (systemd, ufw or
// firewall-cmd, root, sudo). Installer.cpp decides the order of the steps,
// which failures stop the run, and what the person is told.
#pragma once

#include "service/ServiceHost.h"

// A call or tool that failed: its name, as the person is told it, and the
// code it gave.
struct strFailure {
    const char* function;
    unsigned code;
};

enum class eMembership { Member, NotMember, Unknown };

// The work on the service manager and the firewall, in the order it is done.
enum class eServiceStep {
    Create,           // register the service with the program's full file name
    Describe,         // give it its description
    Start,            // start it
    StartType,        // make it start with the system
    Firewall,         // admit incoming connections to it
    Stop,             // stop it
    Delete,           // unregister it
    FirewallRemoval,  // withdraw the firewall admission
};

struct strServiceStep {
    eServiceStep step;
    bool checkExitCode;   // a tool's exit code other than 0 is a failure
    const char* message;  // what the person is told when the step fails
    eMessageIcon icon;
    bool stopsRun;  // a failure ends the installation
};

// Results of QueryServiceState.
constexpr int kStateQueryFailed = -1;
constexpr int kStateStopped = 0;
constexpr int kStateRunning = 1;
constexpr int kStateOther = 2;

// Told when the firewall step fails.
extern const char kFirewallMessage[];
// The call named when the program's file name cannot be had.
extern const char kProgramFileNameFunction[];

// Whether this process has administrator rights. Unknown when the test
// itself failed; *failure then names the call. (In HostSystem_<platform>.cpp.)
eMembership TestAdministrator(strFailure* failure);

// Starts the program itself with administrator rights and switchText as its
// command line, waits for it and returns its exit code. A run that cannot be
// started, or whose exit code cannot be had, tells the person (with message
// and the failing call) and returns kInstallFailed.
int RunProgramElevated(const char* program, const char* switchText, const char* message);

// Runs one step for the program at program (its full file name). A failure
// is told to the person with the step's message and icon before it returns
// false.
bool RunServiceStep(const strServiceStep& step, const char* program);

// kStateStopped, kStateRunning or kStateOther as the service manager reports
// the service; kStateQueryFailed after telling the person why it could not
// be asked.
int QueryServiceState();

// Tells the person message, the failing call and its code, in the form
// "<message>\n\n    Función: <function>\n    Código: <code>".
void ShowFailure(const char* message, const strFailure& failure, eMessageIcon icon);

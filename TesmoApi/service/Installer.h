// Installing and removing the program as the service "TesmoApi": with
// administrator rights the program runs the service manager's steps itself;
// without them it starts itself again with the rights and the elevated
// switch, and returns that run's exit code. Every failure is told to the
// person once, where it happens.
#pragma once

// Exit codes of an installation or removal.
constexpr int kInstallDone = 0;
constexpr int kInstallFailed = -1;

// mayElevate: whether the call may restart the program with administrator
// rights ("/Install", "/Uninstall"); false for the elevated run itself
// ("/AdmInstall", "/AdmUninstall"). Returns the process exit code:
// kInstallDone, kInstallFailed, or the elevated run's exit code. A removal
// returns kInstallDone once it has the rights, whatever its steps gave.
int InstallService(bool mayElevate);
int UninstallService(bool mayElevate);

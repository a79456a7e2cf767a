// Installing and removing the program as a service. This build cannot do
// either: both say so to the person and fail.
#ifndef TESMOAPI_SERVICE_INSTALLER_H
#define TESMOAPI_SERVICE_INSTALLER_H

// Exit code of an installation or removal that failed.
constexpr int kInstallFailed = -1;

// mayElevate: whether the call may restart the program with administrator
// rights. Return the process exit code: kInstallFailed in this build.
int InstallService(bool mayElevate);
int UninstallService(bool mayElevate);

#endif  // TESMOAPI_SERVICE_INSTALLER_H

// The program's command-line switches. With one of them the program installs
// or removes the service instead of running it.
#pragma once

enum class eSwitch {
    Install,       // "/Install": may restart itself elevated
    AdmInstall,    // "/AdmInstall": the elevated run
    Uninstall,     // "/Uninstall": may restart itself elevated
    AdmUninstall,  // "/AdmUninstall": the elevated run
    Unknown,
};

// The switch the whole text names, ignoring letter case; Unknown for any
// other text (a switch followed by more text included).
eSwitch FindSwitch(const char* text);

// Where the program meets the system's administration: the administrator
// test (declared with the installer's platform half), the folder of systemd
// units and the service's account on Linux, and the message box on Windows. They live in files of
// their own, HostSystem_posix.cpp and HostSystem_win32.cpp, so that the tests link a build of the
// program with stand-ins for them instead, and the shipped program has nothing a test could switch.
#pragma once

// The folder systemd reads the administrator's units from (Linux).
const char* SystemdUnitFolder();

// The user and group ids of the account name; false when there is none
// (Linux).
bool FindAccount(const char* name, unsigned* user, unsigned* group);

// Shows text, already in the Windows-1252 code page, in a message box with
// the given MB_ flags, owned by the window titled as the message if there is
// one (Windows).
void ShowMessageBox(const char* text, unsigned flags);

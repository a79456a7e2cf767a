// The systemd unit that runs the program as the service "TesmoApi": what
// "TesmoApi /Install" writes on Linux, and what packaging/TesmoApi.service
// holds for a program in /opt/TesmoApi.
#pragma once

#include <string>

// The account the service runs as; the installer makes it where it is
// missing.
constexpr char kServiceUser[] = "tesmoapi";

// Fills *text with the unit for the program at programPath (an absolute
// file name): it starts that program in its folder, as user. False when the
// path holds a character a unit cannot carry (a control character), or
// without a user: the service never runs as root. *text is then
// unspecified.
bool FormatServiceUnit(const char* programPath, const char* user, std::string* text);

#include "service/ServiceUnit.h"

#include <cstring>

#include "service/ServiceHost.h"

namespace {

// Around the description, which is the service's text on every platform.
const char kUnitStart[] =
    "# Written by \"TesmoApi /Install\"; \"TesmoApi /Uninstall\" removes it.\n"
    "[Unit]\n"
    "Description=";
const char kUnitHead[] =
    "\n"
    "After=network-online.target\n"
    "Wants=network-online.target\n"
    "\n"
    "[Service]\n"
    "Type=notify\n";

// Restarts after a failure, except after status 2 (a bad configuration will
// not mend itself), and a read-only network service's hardening: it writes
// nothing, needs no devices, no kernel settings and no new privileges, and
// binds a port below 1024 without root.
const char kUnitTail[] =
    "Restart=on-failure\n"
    "RestartSec=5\n"
    "RestartPreventExitStatus=2\n"
    "TimeoutStopSec=30\n"
    "NoNewPrivileges=yes\n"
    "ProtectSystem=strict\n"
    "ProtectHome=read-only\n"
    "PrivateTmp=yes\n"
    "PrivateDevices=yes\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectControlGroups=yes\n"
    "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX\n"
    "AmbientCapabilities=CAP_NET_BIND_SERVICE\n"
    "CapabilityBoundingSet=CAP_NET_BIND_SERVICE\n"
    "\n"
    "[Install]\n"
    "WantedBy=multi-user.target\n";

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// systemd expands "%" specifiers in both settings, and "$" variables,
// blanks, quotes and backslashes in a command line.
bool AppendPath(const std::string& path, bool commandLine, std::string* text) {
    const bool quote = commandLine && path.find_first_of(" \"'\\") != std::string::npos;
    if (quote) *text += '"';
    for (const char c : path) {
        if (IsControl(c)) return false;
        if (c == '%') *text += '%';
        if (commandLine && c == '$') *text += '$';
        if (quote && (c == '"' || c == '\\')) *text += '\\';
        *text += c;
    }
    if (quote) *text += '"';
    return true;
}

}  // namespace

bool FormatServiceUnit(const char* programPath, const char* user, std::string* text) {
    const std::string program = programPath;
    const size_t slash = program.rfind('/');
    if (slash == std::string::npos) return false;
    // The folder without its final separator; "/" for a program at the top.
    const std::string folder = program.substr(0, slash == 0 ? 1 : slash);

    *text = kUnitStart;
    *text += kServiceDescription;
    *text += kUnitHead;
    *text += "ExecStart=";
    if (!AppendPath(program, true, text)) return false;
    *text += "\nWorkingDirectory=";
    if (!AppendPath(folder, false, text)) return false;
    *text += '\n';
    if (user != nullptr) *text += std::string("User=") + user + "\n";
    *text += kUnitTail;
    return true;
}

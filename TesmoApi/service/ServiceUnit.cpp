#include "service/ServiceUnit.h"

#include <cstring>

#include "service/ServiceHost.h"

namespace {

// Around the description, which is the service's text on every platform.
const char kUnitStart[] =
    "# Written by \"TesmoApi /Install\"; \"TesmoApi /Uninstall\" removes it.\n"
    "[Unit]\n"
    "Description=";
// The README installed beside the program documents the service. A service
// that fails at every start (a port held by another program) is given up
// after five tries in a minute instead of being restarted for ever.
const char kUnitHead[] =
    "\n"
    "Documentation=file://";
const char kServiceHead[] =
    "/README.md\n"
    "After=network-online.target\n"
    "Wants=network-online.target\n"
    "StartLimitIntervalSec=60\n"
    "StartLimitBurst=5\n"
    "\n"
    "[Service]\n"
    "Type=notify\n";

// Restarts after a failure, except after status 2 (a bad configuration will
// not mend itself), and a read-only network service's confinement: it reads
// its folder and the system's name resolution, writes nothing, listens and
// connects over IPv4 or IPv6 and notifies systemd over a local socket,
// starts no programs, maps no memory both writable and executable (no JIT),
// needs no devices, kernel settings, clock, namespaces or new privileges,
// and binds a port below 1024 without root. Not confined further: the
// network (it is a gateway), its account's view of other users (the
// capability to bind a low port would not reach the host's network from a
// user namespace), and the system-wide /proc files that process metrics need
// (the boot time in /proc/stat).
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
    "PrivateMounts=yes\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectClock=yes\n"
    "ProtectHostname=yes\n"
    "ProtectProc=invisible\n"
    "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX\n"
    "RestrictNamespaces=yes\n"
    "RestrictRealtime=yes\n"
    "RestrictSUIDSGID=yes\n"
    "LockPersonality=yes\n"
    "MemoryDenyWriteExecute=yes\n"
    "RemoveIPC=yes\n"
    "UMask=0077\n"
    "SystemCallArchitectures=native\n"
    "SystemCallFilter=@system-service\n"
    "SystemCallFilter=~@privileged @resources\n"
    "SystemCallErrorNumber=EPERM\n"
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

bool IsUriCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           strchr("/-._~", c) != nullptr;
}

// A folder as the path of a file URI: other bytes as "%XX", the "%" itself
// doubled for systemd's specifiers.
bool AppendUriPath(const std::string& folder, std::string* text) {
    static const char kHex[] = "0123456789ABCDEF";
    constexpr int kNibbleBits = 4;
    constexpr unsigned kNibbleMask = 0xF;
    for (const char c : folder) {
        if (IsControl(c)) return false;
        if (IsUriCharacter(c)) {
            *text += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        *text += "%%";
        *text += kHex[byte >> kNibbleBits];
        *text += kHex[byte & kNibbleMask];
    }
    return true;
}

}  // namespace

bool FormatServiceUnit(const char* programPath, const char* user, std::string* text) {
    if (user == nullptr || *user == '\0') return false;
    const std::string program = programPath;
    const size_t slash = program.rfind('/');
    if (slash == std::string::npos) return false;
    // The folder without its final separator; "/" for a program at the top.
    const std::string folder = program.substr(0, slash == 0 ? 1 : slash);

    *text = kUnitStart;
    *text += kServiceDescription;
    *text += kUnitHead;
    if (!AppendUriPath(folder == "/" ? "" : folder, text)) return false;
    *text += kServiceHead;
    *text += "ExecStart=";
    if (!AppendPath(program, true, text)) return false;
    *text += "\nWorkingDirectory=";
    if (!AppendPath(folder, false, text)) return false;
    *text += '\n';
    *text += std::string("User=") + user + "\n";
    *text += kUnitTail;
    return true;
}

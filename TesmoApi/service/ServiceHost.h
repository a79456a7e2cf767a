// The service program's spine, shared by the Windows and POSIX entry points:
// the HTTP server object, RunApi (configuration and start), the sequence of
// service states from start to stop, and the command-line switches. The
// platform files supply the hooks declared at the end.
#pragma once

#include <cstddef>

#include "Portavex.h"

constexpr char kServiceName[] = "TesmoApi";
// What the service manager shows as the service's description.
constexpr char kServiceDescription[] =
    "Servidor de Interfaz de Programación de Aplicaciones del sistema de Monitoreo Continuo de "
    "Máquinas (Versión 1.0)";
// Title of every message, and of the window a message box is owned by.
constexpr char kMessageTitle[] = "TesmoApi 1.0";

// Exit codes of RunApi; the service reports a failure as its service-specific
// exit code.
constexpr int kRunApiOk = 0;
constexpr int kNoProgramDirectory = 1001;
constexpr int kBadConfiguration = 1002;
constexpr int kServerNotStarted = 1003;
// Exit code of the program for a command line it does not accept.
constexpr int kInvalidArgument = -1;

// Longest program path, as on Windows.
constexpr size_t kProgramPathLength = 260;

// Service states, numbered as the Service Control Manager numbers them.
enum eServiceState {
    ServiceStopped = 1,
    ServiceStartPending = 2,
    ServiceStopPending = 3,
    ServiceRunning = 4,
};

enum class eMessageIcon { Error, Warning, Information };

// The one HTTP server of the process.
extern Portavex server;

// Makes the program's directory the current directory, reads the
// configuration and starts the HTTP server. Returns kRunApiOk when it listens,
// else kNoProgramDirectory, kBadConfiguration or kServerNotStarted.
int RunApi();
// What made the last RunApi fail, for a person to read.
const char* RunApiFailure();

// START_PENDING, RunApi, then RUNNING until a stop request, STOP_PENDING,
// server stopped, STOPPED. Returns RunApi's failure code, or 0 after a stop.
int RunService();

// Runs the switch the text names; an unknown text shows "Argumento inválido"
// and gives kInvalidArgument.
int RunCommandLine(const char* text);

// Platform hooks.
// Shows a text (UTF-8) to a person: a message box on Windows, a line on
// standard error elsewhere.
void ShowMessage(const char* text, eMessageIcon icon);
// Fills name (size bytes) with the program's full file name, at most
// kProgramPathLength characters. False when it cannot be had; *error is then
// the system's error code.
bool GetProgramFileName(char* name, size_t size, unsigned* error);
// Fills directory with the program's directory (ending with the path
// separator) and makes it the current directory.
bool EnterProgramDirectory(char* directory, size_t size);
// Tells the service manager the new state; for ServiceStopped a non-zero
// exitCode is the service-specific failure code.
void ReportServiceState(eServiceState state, int exitCode);
// Blocks until a stop or shutdown request; a request that came earlier
// returns at once.
void WaitForStopRequest();

#include "service/ServiceHost.h"

#include <cstdio>

#include "TesmoClient.h"

#include "api/Dispatcher.h"
#include "api/Metrics.h"
#include "api/resources/SessionPool.h"
#include "service/CommandLine.h"
#include "service/Configuration.h"
#include "service/Installer.h"

Portavex server;

namespace {

// Bytes of the answer buffer the HTTP server hands to the request callback.
constexpr unsigned long kResultsSize = 1000000;
constexpr size_t kFailureSize = 256;
// After a stop request, requests still waiting on the Tesmo server get this
// long; then their exchanges fail, so that the server object, which lets
// answers in flight finish for a little longer as the process ends, is not
// held up by each request's remaining exchanges and their time-outs.
constexpr int kExchangeGraceMilliseconds = 2000;
// The request log's buffer on standard output: the block of an answer up to
// about this size goes out in one write when it is flushed, where the
// stream's own buffer of one disk block took a write per 4 KB.
constexpr size_t kLogBufferSize = 64 * 1024;

char logBuffer[kLogBufferSize];

char defaultDocument[] = "api.html";
char programDirectory[kProgramPathLength + 1];
char failure[kFailureSize];

int Fail(int code, const char* cause) {
    snprintf(failure, sizeof failure, "%s", cause);
    return code;
}

}  // namespace

int RunApi() {
    // Before anything is written to the stream; every block is flushed.
    std::setvbuf(stdout, logBuffer, _IOFBF, sizeof logBuffer);
    if (!EnterProgramDirectory(programDirectory, sizeof programDirectory)) {
        return Fail(kNoProgramDirectory, "no se pudo cambiar al directorio del programa");
    }
    strConfigFault fault;
    if (!LoadConfiguration(kConfigurationFileName, &fault)) {
        DescribeConfigFault(fault, failure, sizeof failure);
        return kBadConfiguration;
    }
    // The file holds the monitoring server's password: never serve it.
    if (!server.HideFile(kConfigurationFileName)) {
        return Fail(kBadConfiguration, "no se pudo proteger el archivo de configuración");
    }
    server.SetIdleTimeout(apiIdleTimeout);
    sessionPool.Start(serverSessions, serverSessionIdle);
    if (apiMetrics) {
        EnableMetrics(&server, apiMetricsPlant);
        SetSessionFiguresSource(ReadSessionFigures);
        server.SetMetricsCallback(OnGetMetrics, kMetricsResultsSize);
    }
    const auto port = PortNumber(listenPort);
    if (!server.Start(port, OnGetApi, kResultsSize, programDirectory, defaultDocument)) {
        snprintf(failure, sizeof failure, "el servidor HTTP no pudo escuchar en el puerto %u",
                 static_cast<unsigned>(port));
        return kServerNotStarted;
    }
    return kRunApiOk;
}

const char* RunApiFailure() {
    return failure;
}

int RunService() {
    ReportServiceState(ServiceStartPending, 0);
    const int result = RunApi();
    if (result != kRunApiOk) {
        ReportServiceState(ServiceStopped, result);
        return result;
    }
    ReportServiceState(ServiceRunning, 0);
    WaitForStopRequest();
    ReportServiceState(ServiceStopPending, 0);
    server.Stop();
    TesmoClient::AbandonExchangesAfter(kExchangeGraceMilliseconds);
    // Idle sessions close now, those in use as their requests end.
    sessionPool.Stop();
    ReportServiceState(ServiceStopped, 0);
    return kRunApiOk;
}

int RunCommandLine(const char* text) {
    switch (FindSwitch(text)) {
        case eSwitch::Install:
            return InstallService(true);
        case eSwitch::AdmInstall:
            return InstallService(false);
        case eSwitch::Uninstall:
            return UninstallService(true);
        case eSwitch::AdmUninstall:
            return UninstallService(false);
        case eSwitch::Unknown:
            break;
    }
    ShowMessage("Argumento inválido", eMessageIcon::Error);
    return kInvalidArgument;
}

// The program as a systemd-style service: without arguments it runs in the
// foreground until SIGTERM or SIGINT, telling the service manager through
// NOTIFY_SOCKET when it is ready and when it stops. Messages go to standard
// error.
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "service/ServiceHost.h"

namespace {

// A RunApi failure exits with its code minus this: 1001 gives status 1.
constexpr int kFailureStatusBase = 1000;

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

// One sd_notify datagram to the socket NOTIFY_SOCKET names; a name starting
// with "@" is in the abstract namespace. Without the variable nothing is sent.
void NotifyServiceManager(const char* message) {
    const char* name = getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@')) return;
    sockaddr_un address{};
    const size_t length = strlen(name);
    if (length >= sizeof address.sun_path) return;
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, name, length);
    if (name[0] == '@') address.sun_path[0] = '\0';
    const int notifier = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (notifier < 0) return;
    const auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    sendto(notifier, message, strlen(message), MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&address), addressLength);
    close(notifier);
}

// The arguments as one text, as Windows hands them to the program.
std::string JoinArguments(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

}  // namespace

void ShowMessage(const char* text, eMessageIcon /*icon*/) {
    fprintf(stderr, "%s: %s\n", kMessageTitle, text);
}

bool GetProgramFileName(char* name, size_t size, unsigned* error) {
    const size_t room = size < kProgramPathLength + 1 ? size : kProgramPathLength + 1;
    const ssize_t length = room < 2 ? -1 : readlink("/proc/self/exe", name, room - 1);
    if (length <= 0 || static_cast<size_t>(length) >= room - 1) {
        *error = length < 0 ? static_cast<unsigned>(errno) : ENAMETOOLONG;
        return false;
    }
    name[length] = '\0';
    return true;
}

bool EnterProgramDirectory(char* directory, size_t size) {
    unsigned error;
    if (!GetProgramFileName(directory, size, &error)) return false;
    char* slash = strrchr(directory, '/');
    if (slash == nullptr) return false;
    slash[1] = '\0';
    return chdir(directory) == 0;
}

void ReportServiceState(eServiceState state, int /*exitCode*/) {
    if (state == ServiceRunning) NotifyServiceManager("READY=1");
    if (state == ServiceStopPending) NotifyServiceManager("STOPPING=1");
}

void WaitForStopRequest() {
    const sigset_t signals = StopSignals();
    int received;
    while (sigwait(&signals, &received) != 0) {
    }
}

int main(int argc, char** argv) {
    // Any argument, an empty one included, makes the program the installer
    // (or refuses it), as a non-empty command line does on Windows. It runs
    // with the signal mask and dispositions it was started with, as do the
    // tools it starts, so that Ctrl-C interrupts them all.
    if (argc > 1) return RunCommandLine(JoinArguments(argc, argv).c_str());

    // The stop signals are blocked before any thread exists, so every thread
    // inherits the mask and they stay pending until WaitForStopRequest takes
    // them: no work runs in a signal handler, and a stop during start-up is
    // handled once the server runs.
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const int result = RunService();
    if (result == kRunApiOk) return EXIT_SUCCESS;
    fprintf(stderr, "%s: error %d: %s\n", kMessageTitle, result, RunApiFailure());
    return result - kFailureStatusBase;
}

#include "Portavex.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <system_error>

#include "Connection.h"
#include "Limits.h"
#include "Platform.h"

using namespace portavex;

namespace {

// A failing accept that is not the end of listening (a connection reset in
// the backlog, no descriptors left) is retried after this pause.
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(10);

void CopyText(char* field, const char* text) {
    field[0] = '\0';
    if (text == nullptr) return;
    std::strncat(field, text, kPathSize - 1);
}

}  // namespace

Portavex::Portavex()
    : listenSocket(kInvalidSocket),
      listenerThreadId(0),
      startEvent(nullptr),
      requestCallback(nullptr),
      rootDirectory(),
      defaultDocument(),
      resultsSize(0),
      metricsCallback(nullptr),
      metricsSize(0),
      listenPort(0),
      connections(nullptr) {
    if (!NetStartup()) throw "WSAStartup failed";
    startEvent = EventCreate();
    if (startEvent == nullptr) {
        // No destructor runs for an object that failed to construct, so the
        // socket layer is released here.
        NetCleanup();
        throw "CreateEvent failed";
    }
    connections = new strConnectionTable;
    connections->stopWaker = WakerCreate();
    if (connections->stopWaker == kInvalidSocket) {
        delete connections;
        EventClose(startEvent);
        NetCleanup();
        throw "CreateEvent failed";
    }
}

Portavex::~Portavex() {
    Stop();
    CloseAllConnections(connections);
    WakerClose(connections->stopWaker);
    delete connections;
    EventClose(startEvent);
    NetCleanup();
}

bool Portavex::Start(unsigned short port, RequestCallback callback, unsigned long size, char* root,
                     char* document) {
    if (listenSocket != kInvalidSocket) return false;
    requestCallback = callback;
    resultsSize = callback != nullptr ? size : 0;
    CopyText(rootDirectory, root);
    CopyText(defaultDocument, document);

    listenSocket = ListenTcp(port, &listenPort);
    if (listenSocket == kInvalidSocket) return false;
    connections->listening = true;
    try {
        // The listener reports its id before it accepts anything, so the
        // field is written here, on the application's thread, like the others.
        std::promise<uint32_t> started;
        std::future<uint32_t> threadId = started.get_future();
        listenerThread = std::thread(
            [this](std::promise<uint32_t> report) {
                report.set_value(CurrentThreadId());
                ListenerLoop();
            },
            std::move(started));
        listenerThreadId = threadId.get();
    } catch (const std::system_error&) {
        connections->listening = false;
        StopAccepting(listenSocket);
        ReleaseListener(listenSocket);
        listenSocket = kInvalidSocket;
        listenPort = 0;
        return false;
    }
    return true;
}

void Portavex::Stop() {
    if (listenSocket == kInvalidSocket) return;
    connections->listening = false;
    StopAccepting(listenSocket);
    listenerThread.join();
    ReleaseListener(listenSocket);
    listenSocket = kInvalidSocket;
    listenPort = 0;
}

unsigned short Portavex::GetPort() const {
    return listenPort;
}

void Portavex::SetIdleTimeout(int seconds) {
    std::lock_guard<std::mutex> guard(connections->lock);
    connections->idleTimeoutSeconds = std::min(std::max(seconds, 1), kMaxIdleTimeoutSeconds);
}

bool Portavex::HideFile(const char* path) {
    return path != nullptr && connections->hiddenFiles.Add(path);
}

void Portavex::SetMetricsCallback(MetricsCallback callback, unsigned long size) {
    metricsCallback = callback;
    metricsSize = callback != nullptr ? size : 0;
}

void Portavex::GetCounters(strPortavexCounters* counters) const {
    const strServerCounters& source = connections->counters;
    counters->connectionsAccepted = source.connectionsAccepted.load(std::memory_order_relaxed);
    counters->connectionsOpen = source.connectionsOpen.load(std::memory_order_relaxed);
    for (int i = 0; i < kRequestResultCount; ++i) {
        counters->fileAnswers[i] = source.fileAnswers[i].load(std::memory_order_relaxed);
    }
    counters->fileNotModified = source.fileAnswers[NotModified].load(std::memory_order_relaxed);
}

int Portavex::GetVersion(char* buffer, unsigned long size) {
    if (buffer == nullptr) return -1;
    int written = std::snprintf(buffer, size, "%s", kVersionText);
    if (written < 0 || static_cast<unsigned long>(written) >= size) return -1;
    return written;
}

void Portavex::ListenerLoop() {
    static_assert(sizeof(rootDirectory) == sizeof(strServerSettings::rootDirectory) &&
                      sizeof(defaultDocument) == sizeof(strServerSettings::defaultDocument),
                  "the object's texts fit the connections' copies");
    strServerSettings settings;
    settings.callback = requestCallback;
    settings.resultsSize = resultsSize;
    settings.metricsCallback = metricsCallback;
    settings.metricsSize = metricsSize;
    std::memcpy(settings.rootDirectory, rootDirectory, kPathSize);
    std::memcpy(settings.defaultDocument, defaultDocument, kPathSize);
    while (connections->listening) {
        Socket socket = Accept(listenSocket);
        if (socket == kInvalidSocket) {
            if (connections->listening) std::this_thread::sleep_for(kAcceptRetryPause);
            continue;
        }
        connections->counters.connectionsAccepted.fetch_add(1, std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> guard(connections->lock);
            settings.idleTimeoutSeconds = connections->idleTimeoutSeconds;
        }
        // The record and the settings are reused for the next connection
        // only once this one's thread has copied them.
        strConnectionStart start = {connections, &settings, socket, startEvent};
        StartConnection(start);
    }
}

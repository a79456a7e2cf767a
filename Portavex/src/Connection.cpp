#include "Connection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <list>
#include <new>
#include <system_error>
#include <thread>

#include "FileName.h"
#include "ParameterDocument.h"
#include "RequestFramer.h"
#include "RequestParser.h"
#include "Response.h"

namespace portavex {

namespace {

using Clock = std::chrono::steady_clock;

// The working storage of a connection, on its thread's stack.
struct strConnectionBuffers {
    RequestFramer framer;
    char parameters[kParameterCapacity + 1];
    char header[kHeaderSize];
    char path[kPathSize];
    char chunk[kFileChunkSize];
};

struct strConnection {
    strConnectionTable* table;
    const strServerSettings* settings;
    Socket socket;
    strConnectionBuffers* buffers;
};

enum eReadResult { ReadComplete, ReadClosed, ReadRefused };

// Waits until bytes arrive; false when the deadline passes, the socket
// fails or the server object is going away.
bool AwaitBytes(strConnection& connection, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || connection.table->closing) return false;
        int wait = static_cast<int>(std::min<long long>(left.count(), kWaitSliceMilliseconds));
        eWaitResult ready = WaitReadable(connection.socket, wait);
        if (ready != WaitTimedOut) return ready == WaitReady;
    }
}

// Reads the rest of the current request, which must be complete before the
// idle time-out ends.
eReadResult ReadRequest(strConnection& connection) {
    RequestFramer& framer = connection.buffers->framer;
    Clock::time_point deadline =
        Clock::now() + std::chrono::seconds(connection.settings->idleTimeoutSeconds);
    for (;;) {
        if (framer.HasInput()) {
            eFrameResult frame = framer.Scan();
            if (frame == FrameComplete) return ReadComplete;
            if (frame != FrameNeedMore) return ReadRefused;
        }
        if (!AwaitBytes(connection, deadline)) return ReadClosed;
        long received = Receive(connection.socket, framer.ReceiveArea(), framer.ReceiveAreaSize());
        if (received <= 0) return ReadClosed;
        framer.Received(static_cast<size_t>(received));
    }
}

bool SendHeader(strConnection& connection, eRequestResult status, uint64_t length,
                const char* extension) {
    char* header = connection.buffers->header;
    // The request being answered is still the framer's.
    bool origin = connection.buffers->framer.HasOrigin();
    size_t headerLength = FormatHeader(header, status, origin, length, extension);
    return SendAll(connection.socket, header, headerLength);
}

// An answer without body after which the connection is closed.
bool SendError(strConnection& connection, eRequestResult status) {
    SendHeader(connection, status, 0, "");
    return false;
}

const char* ExtensionOf(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return "";
    return dot;
}

// Answers a file request; true when the whole file was sent.
bool ServeFile(strConnection& connection, const char* resource) {
    const strServerSettings& settings = *connection.settings;
    if (settings.rootDirectory[0] == '\0') return SendError(connection, NotImplemented);
    const char* name = resource;
    if (name[0] == '\0') {
        name = settings.defaultDocument;
        if (name[0] == '\0') return SendError(connection, NotFound);
    } else if (!IsServableName(name)) {
        return SendError(connection, NotFound);
    }
    char* path = connection.buffers->path;
    if (!CombinePath(path, kPathSize, settings.rootDirectory, name)) {
        return SendError(connection, ServiceError);
    }
    FileHandle file;
    if (!FileOpen(path, &file)) return SendError(connection, NotFound);
    if (connection.table->hiddenFiles.Hides(file, path)) {
        FileClose(file);
        return SendError(connection, NotFound);
    }
    uint64_t size;
    if (!FileSize(file, &size) || size >= kFileSizeLimit) {
        FileClose(file);
        return SendError(connection, ServiceError);
    }
    bool sent = SendHeader(connection, Ok, size, ExtensionOf(path)) &&
                FileSend(file, size, connection.socket, connection.buffers->chunk, kFileChunkSize);
    FileClose(file);
    return sent;
}

// Answers an API request through the callback; true when the answer was Ok
// and went out whole.
bool ServeApi(strConnection& connection, char* resource, char* query) {
    const strServerSettings& settings = *connection.settings;
    if (settings.callback == nullptr) return SendError(connection, NotImplemented);
    char* parameters = connection.buffers->parameters;
    parameters[0] = '\0';
    if (query != nullptr && !BuildParameterDocument(parameters, query)) {
        return SendError(connection, BadRequest);
    }
    char* results = new (std::nothrow) char[settings.resultsSize > 0 ? settings.resultsSize : 1];
    if (results == nullptr) return SendError(connection, ServiceError);
    unsigned long length = 0;
    int result = settings.callback(resource + kApiPrefixLength, parameters, results, &length,
                                   settings.resultsSize);
    // A callback that breaks its contract gets no answer of its own making.
    if (!IsKnownResult(result) || length > settings.resultsSize) {
        delete[] results;
        return SendError(connection, ServiceError);
    }
    eRequestResult status = static_cast<eRequestResult>(result);
    bool sent = SendHeader(connection, status, length, ".json") &&
                SendAll(connection.socket, results, length);
    delete[] results;
    return sent && status == Ok;
}

// Answers one complete request; true when the connection stays open.
bool Answer(strConnection& connection) {
    strRequest request;
    ParseRequest(connection.buffers->framer.View(), &request);
    if (request.method != MethodGet) return SendError(connection, NotImplemented);
    if (request.badEncoding) return SendError(connection, BadRequest);
    if (std::strncmp(request.resource, kApiPrefix, kApiPrefixLength) == 0) {
        return ServeApi(connection, request.resource, request.query);
    }
    return ServeFile(connection, request.resource);
}

// Ends the connection gracefully: the peer sees the end of the stream
// after the last answer, and what it still sends is read and dropped.
void Linger(strConnection& connection) {
    ShutdownSending(connection.socket);
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kLingerMilliseconds);
    char* drop = connection.buffers->chunk;
    while (AwaitBytes(connection, deadline)) {
        if (Receive(connection.socket, drop, kFileChunkSize) <= 0) return;
    }
}

void Serve(strConnection& connection) {
    for (;;) {
        eReadResult read = ReadRequest(connection);
        if (read == ReadRefused) SendError(connection, BadRequest);
        if (read == ReadClosed) return;
        if (read != ReadComplete || !Answer(connection)) return Linger(connection);
        connection.buffers->framer.BeginRequest();
    }
}

// What a connection thread copies before it lets the listener go on.
struct strThreadStart {
    const strConnectionStart* start;
    std::list<strConnectionEntry>::iterator entry;
};

// Waits for the threads that have finished with the table to end.
void JoinEnded(strConnectionTable* table) {
    std::list<strConnectionEntry> finished;
    {
        std::lock_guard<std::mutex> guard(table->lock);
        finished.splice(finished.end(), table->ended);
    }
    for (strConnectionEntry& entry : finished) entry.thread.join();
}

void ConnectionMain(const strThreadStart* record) {
    strConnectionTable* table = record->start->table;
    const strServerSettings settings = *record->start->settings;
    Socket socket = record->start->socket;
    std::list<strConnectionEntry>::iterator entry = record->entry;
    // From here on the record may be gone.
    EventSet(record->start->started);

    if (!table->closing) {
        strConnectionBuffers buffers;
        strConnection connection = {table, &settings, socket, &buffers};
        Serve(connection);
    }
    // The threads that ended before this one are joined by it, so that few
    // wait for the next connection or the end of the server object.
    JoinEnded(table);
    std::lock_guard<std::mutex> guard(table->lock);
    // Closed while the thread still counts as running: once none runs, the
    // server object may end the socket layer.
    CloseSocket(socket);
    table->ended.splice(table->ended.end(), table->running, entry);
    table->drained.notify_all();
}

}  // namespace

bool StartConnection(const strConnectionStart& start) {
    strConnectionTable* table = start.table;
    JoinEnded(table);
    PrepareConnection(start.socket, start.settings->idleTimeoutSeconds);
    std::unique_lock<std::mutex> guard(table->lock);
    auto entry = table->running.emplace(table->running.end());
    entry->socket = start.socket;
    strThreadStart record = {&start, entry};
    try {
        // Under the lock, so that the thread cannot list itself as ended
        // before its handle is stored.
        entry->thread = std::thread(ConnectionMain, &record);
    } catch (const std::system_error&) {
        table->running.erase(entry);
        guard.unlock();
        CloseSocket(start.socket);
        return false;
    }
    guard.unlock();
    // The record lives in this frame until the thread has copied it.
    EventWait(start.started);
    return true;
}

void CloseAllConnections(strConnectionTable* table) {
    {
        std::unique_lock<std::mutex> guard(table->lock);
        table->closing = true;
        for (strConnectionEntry& entry : table->running) ShutdownSocket(entry.socket);
        table->drained.wait(guard, [table] { return table->running.empty(); });
    }
    JoinEnded(table);
}

}  // namespace portavex

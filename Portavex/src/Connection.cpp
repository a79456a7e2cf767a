#include "Connection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <list>
#include <system_error>
#include <thread>

#include "ApiCall.h"
#include "RequestFramer.h"
#include "RequestParser.h"
#include "Response.h"
#include "StaticFile.h"

namespace portavex {

namespace {

using Clock = std::chrono::steady_clock;
// The longest time one wait of the platform takes.
constexpr long long kLongestWait = std::numeric_limits<int>::max();

// The working storage of a connection, on its thread's stack.
struct strConnectionBuffers {
    RequestFramer framer;
    char parameters[kParameterDocumentCapacity + 1];
    char header[kResponseHeaderSize];
    strFileBuffers file;
    GzipEncoder gzip;
};

struct strConnection {
    strConnectionTable* table;
    const strServerSettings* settings;
    Socket socket;
    strConnectionBuffers* buffers;
};

enum eReadResult { ReadComplete, ReadClosed, ReadRefused };

// Waits until bytes arrive, in one wait without waking in between: WaitReady,
// or WaitTimedOut once the deadline has passed, WaitFailed when the socket
// fails, WaitWoken when the server object is going away (its stop waker
// ends the wait, and every later one at once).
eWaitResult AwaitBytes(strConnection& connection, Clock::time_point deadline) {
    eWaitResult ready = WaitTimedOut;
    while (ready == WaitTimedOut) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return WaitTimedOut;
        // Only a time-out beyond what one wait takes, or an interrupted wait,
        // comes back here.
        ready = WaitReadable(connection.socket, connection.table->stopWaker,
                             static_cast<int>(std::min<long long>(left.count(), kLongestWait)));
    }
    return ready;
}

// Waits for more of a request until deadline; true when bytes are there. A
// connection whose coder holds memory first waits kCoderKeepMilliseconds
// at most, then gives that memory back and waits on: one wake-up more, and
// only after a coded answer.
bool AwaitRequestBytes(strConnection& connection, Clock::time_point deadline) {
    GzipEncoder& gzip = connection.buffers->gzip;
    if (gzip.HoldsMemory()) {
        const Clock::time_point keep =
            Clock::now() + std::chrono::milliseconds(kCoderKeepMilliseconds);
        const eWaitResult kept = AwaitBytes(connection, std::min(keep, deadline));
        if (kept != WaitTimedOut) return kept == WaitReady;
        gzip.Release();
    }
    return AwaitBytes(connection, deadline) == WaitReady;
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
        if (!AwaitRequestBytes(connection, deadline)) return ReadClosed;
        long received = Receive(connection.socket, framer.ReceiveArea(), framer.ReceiveAreaSize());
        if (received <= 0) return ReadClosed;
        framer.Received(static_cast<size_t>(received));
    }
}

// Where the answer to the request the framer holds goes, and what the
// request asked of the connection.
strAnswerChannel ChannelOf(strConnection& connection, eConnectionFate fate) {
    return {connection.socket, connection.buffers->framer.HasOrigin(), connection.buffers->header,
            fate, nullptr};
}

// Answers one complete request: the API or a file. True when the connection
// stays open.
bool Answer(strConnection& connection) {
    strRequest request;
    ParseRequest(connection.buffers->framer.View(), &request);
    const strAnswerChannel channel = ChannelOf(connection, FateOf(request));
    if (request.method != MethodGet) return SendError(channel, NotImplemented);
    if (request.badEncoding) return SendError(channel, BadRequest);
    const strServerSettings& settings = *connection.settings;
    if (settings.metricsCallback != nullptr && std::strcmp(request.resource, kMetricsPath) == 0) {
        return ServeMetrics(channel, settings.metricsCallback, settings.metricsSize);
    }
    GzipEncoder* gzip = AllowsGzip(request.codings) ? &connection.buffers->gzip : nullptr;
    if (std::strncmp(request.resource, kApiPrefix, kApiPrefixLength) == 0) {
        const strApiSettings api = {settings.callback, settings.resultsSize};
        return ServeApi(channel, api, request.resource, request.query,
                        connection.buffers->parameters, gzip);
    }
    const strFileRoot root = {settings.rootDirectory, settings.defaultDocument,
                              &connection.table->hiddenFiles, &connection.table->gzipFiles,
                              settings.resultsSize};
    strAnswerChannel fileChannel = channel;
    fileChannel.answerCounts = connection.table->counters.fileAnswers;
    return ServeFile(fileChannel, root, request, &connection.buffers->file, gzip);
}

// Ends the connection gracefully: the peer sees the end of the stream
// after the last answer, and what it still sends is read and dropped.
void Linger(strConnection& connection) {
    ShutdownSending(connection.socket);
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kLingerMilliseconds);
    char* drop = connection.buffers->file.chunk;
    while (AwaitBytes(connection, deadline) == WaitReady) {
        if (Receive(connection.socket, drop, sizeof connection.buffers->file.chunk) <= 0) return;
    }
}

void Serve(strConnection& connection) {
    for (;;) {
        eReadResult read = ReadRequest(connection);
        if (read == ReadRefused) SendError(ChannelOf(connection, FateClose), BadRequest);
        if (read == ReadClosed) return;
        if (read != ReadComplete || !Answer(connection)) return Linger(connection);
        connection.buffers->framer.BeginRequest();
        // A busy client's next request is usually there already, so this
        // thread would answer request after request for its whole time slice
        // while the other connections' threads wait for the processor: with
        // a hundred connections on one core a request could wait half a
        // second. Stepping back after every answer lets them take turns; a
        // thread alone on its processor goes straight on.
        std::this_thread::yield();
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

    std::atomic<std::uint64_t>& open = table->counters.connectionsOpen;
    open.fetch_add(1, std::memory_order_relaxed);
    if (!table->closing) {
        strConnectionBuffers buffers;
        strConnection connection = {table, &settings, socket, &buffers};
        Serve(connection);
    }
    open.fetch_sub(1, std::memory_order_relaxed);
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
        WakerRaise(table->stopWaker);
        auto none = [table] { return table->running.empty(); };
        if (!table->drained.wait_for(guard, std::chrono::milliseconds(kStopGraceMilliseconds),
                                     none)) {
            for (strConnectionEntry& entry : table->running) ShutdownSocket(entry.socket);
            table->drained.wait(guard, none);
        }
    }
    JoinEnded(table);
}

}  // namespace portavex

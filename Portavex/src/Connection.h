// The life of one accepted connection: read requests, answer them, keep the
// connection open after a successful answer and close it after any other.
#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include "GzipFileCache.h"
#include "HiddenFiles.h"
#include "Limits.h"
#include "Platform.h"
#include "Portavex.h"
#include "Response.h"

namespace portavex {

// What a connection needs of the server, copied when it is accepted, so a
// later Start with other settings does not touch running connections.
struct strServerSettings {
    RequestCallback callback;
    unsigned long resultsSize;
    MetricsCallback metricsCallback;  // null: /metrics is a file path
    unsigned long metricsSize;
    int idleTimeoutSeconds;
    char rootDirectory[kPathSize];
    char defaultDocument[kPathSize];
};

// What the server counts, updated by the listener and the connection threads
// with relaxed atomics: nothing else is ordered by them.
struct strServerCounters {
    std::atomic<std::uint64_t> connectionsAccepted{0};
    std::atomic<std::uint64_t> connectionsOpen{0};
    std::atomic<std::uint64_t> fileAnswers[kAnswerStatusCount]{};
};

// The thread of one accepted connection and its socket.
struct strConnectionEntry {
    std::thread thread;
    Socket socket = kInvalidSocket;
};

// State shared between the server object and its connection threads. A
// thread is listed as running from its start until it has closed its
// socket and touches the table no more, then as ended until it is joined:
// by the next connection thread to end, by the listener before it starts
// the next one, or by the server object as it goes away, so that no thread
// of the library outlives the object.
struct strConnectionTable {
    std::mutex lock;
    std::condition_variable drained;  // a thread has ended
    std::list<strConnectionEntry> running;
    std::list<strConnectionEntry> ended;
    std::atomic<bool> closing{false};  // the server object is going away
    // Raised as the server object goes away: it ends every wait for bytes.
    Waker stopWaker = kInvalidSocket;
    std::atomic<bool> listening{false};  // false tells the listener to end
    int idleTimeoutSeconds = kDefaultIdleTimeoutSeconds;
    HiddenFiles hiddenFiles;
    strServerCounters counters;
    GzipFileCache gzipFiles;
};

// What the listener hands a new connection thread: what it needs of its
// server object and the accepted socket. The record lives in the listener's
// frame and is valid only until the new thread has set started, after
// copying what it needs.
struct strConnectionStart {
    strConnectionTable* table;
    const strServerSettings* settings;
    Socket socket;
    EventHandle started;
};

// Serves an accepted connection on a thread of its own, which closes the
// socket when done, and returns once the thread has copied the record
// (the caller may then reuse it). False when no thread could start; the
// socket is then closed. Joins the threads that have ended meanwhile.
bool StartConnection(const strConnectionStart& start);
// Closes every open connection and waits until every connection thread has
// ended: connections waiting for a request close at once, answers being
// sent get kStopGraceMilliseconds to finish, then their connections are shut
// down.
void CloseAllConnections(strConnectionTable* table);

}  // namespace portavex

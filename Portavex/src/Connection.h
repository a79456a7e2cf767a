// The life of one accepted connection: read requests, answer them, keep the
// connection open after a successful answer and close it after any other.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "HiddenFiles.h"
#include "Limits.h"
#include "Platform.h"
#include "Portavex.h"

namespace portavex {

// What a connection needs of the server, copied when it is accepted, so a
// later Start with other settings does not touch running connections.
struct strServerSettings {
    RequestCallback callback;
    unsigned long resultsSize;
    int idleTimeoutSeconds;
    char rootDirectory[kPathSize];
    char defaultDocument[kPathSize];
};

// One open connection, linked into the table from its thread's stack.
struct strConnectionNode {
    Socket socket;
    strConnectionNode* next;
    strConnectionNode* previous;
};

// State shared between the server object and its connection threads; the
// object waits for count to reach 0 before it goes away.
struct strConnectionTable {
    std::mutex lock;
    std::condition_variable drained;
    int count = 0;                       // connection threads started, not ended
    strConnectionNode* first = nullptr;  // connections being served
    std::atomic<bool> closing{false};    // the server object is going away
    std::atomic<bool> listening{false};  // false tells the listener to end
    int idleTimeoutSeconds = kDefaultIdleTimeoutSeconds;
    HiddenFiles hiddenFiles;
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
// socket when done. True when the thread runs: the caller must then wait on
// start.started before it reuses the record. False when no thread could
// start; the socket is then closed.
bool StartConnection(const strConnectionStart& start);
// Closes every open connection and waits until no thread uses the table.
void CloseAllConnections(strConnectionTable* table);

}  // namespace portavex

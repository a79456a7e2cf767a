// Portavex: a small embedded HTTP/1.1 server. The application starts it on a
// TCP port and receives every GET /api/... request as a call of its request
// callback; every other GET is answered with a file from a root directory.
#pragma once

#include <cstdint>
#include <thread>

#if defined(_WIN32)
#if defined(PORTAVEX_EXPORTS)
#define PORTAVEX_API __declspec(dllexport)
#else
#define PORTAVEX_API __declspec(dllimport)
#endif
#else
#define PORTAVEX_API __attribute__((visibility("default")))
#endif

// Result of the request callback; selects the status line of the answer.
enum eRequestResult {
    Ok = 0,
    BadRequest = 1,
    Unauthorized = 2,
    NotFound = 3,
    ServiceError = 4,
    NotImplemented = 5
};

// Called on a connection thread for every GET /api/<resource>?<query>.
// resource: the decoded name after "api/"; parameters: the JSON object built
// from the query ("" without a query). The callback writes its answer body
// into results (resultsSize bytes) and stores its length in *resultsLength.
// It may run on several connection threads at once.
typedef eRequestResult (*RequestCallback)(char* resource, char* parameters, char* results,
                                          unsigned long* resultsLength, unsigned long resultsSize);

// The number of eRequestResult values.
constexpr int kRequestResultCount = 6;

// Called on a connection thread for every GET /metrics once set with
// SetMetricsCallback. Writes a text body into results (resultsSize bytes) and
// stores its length in *resultsLength; it is sent with the content type
// "text/plain; version=0.0.4; charset=utf-8" when the result is Ok, and any
// other result is answered like the request callback's. It may run on
// several connection threads at once.
typedef eRequestResult (*MetricsCallback)(char* results, unsigned long* resultsLength,
                                          unsigned long resultsSize);

// The server's counters since the object was constructed, as GetCounters
// reads them; each field is read on its own, so they need not agree to the
// last connection.
struct strPortavexCounters {
    std::uint64_t connectionsAccepted;  // connections taken from the listening socket
    std::uint64_t connectionsOpen;      // connections whose threads still run
    // File answers sent (GET of any path outside the API), by the result
    // that chose their status line.
    std::uint64_t fileAnswers[kRequestResultCount];
    // File answers "304 Not Modified": the client's copy was still current.
    std::uint64_t fileNotModified;
};

namespace portavex {
struct strConnectionTable;
}

class PORTAVEX_API Portavex {
  public:
    // Throws "WSAStartup failed" (const char*) on Windows when the socket
    // layer cannot start, "CreateEvent failed" when the start event cannot
    // be created.
    Portavex();
    // Stops listening, closes every open connection and waits until every
    // connection thread has closed its socket and ended; then closes the
    // start event and ends the socket layer, so that no code of the library
    // and no socket call runs after it returns.
    ~Portavex();
    // A copy would close the same socket and event twice.
    Portavex(const Portavex&) = delete;
    Portavex& operator=(const Portavex&) = delete;

    // Listens on every local IPv4 address at port (0 picks a free port, see
    // GetPort). False when already listening or the port cannot be used.
    bool Start(unsigned short port, RequestCallback callback, unsigned long resultsSize,
               char* rootDirectory, char* defaultDocument);
    // Stops listening; connections already accepted go on being served.
    void Stop();
    // The port the server listens on; 0 when it is not listening.
    unsigned short GetPort() const;
    // Seconds a connection may take to deliver a complete request before it
    // is closed without an answer (default 60; at least 1, at most 30 days).
    // Applies to new connections.
    void SetIdleTimeout(int seconds);
    // Never serve the file at path, whatever name a request uses for it:
    // neither the file there now nor one that takes its place later (path
    // is looked at again for every file request, relative to the current
    // directory then), nor hard links to either, nor, in any folder, files
    // named as its backups and editor copies ("TesmoApi.json.bak",
    // ".TesmoApi.json.swp", "TesmoApi - Copy.json", ...). At most 8 files;
    // false when the file cannot be opened or 8 are hidden already.
    bool HideFile(const char* path);

    // Routes GET /metrics (without "api/": the path is no file then) to
    // callback with a buffer of resultsSize bytes; null leaves /metrics a
    // file path. Applies from the next Start.
    void SetMetricsCallback(MetricsCallback callback, unsigned long resultsSize);
    // Fills *counters; reads atomics only, so it may run on any thread at any
    // time while the object lives.
    void GetCounters(strPortavexCounters* counters) const;

    // Writes "1.5" into buffer; returns its length, or -1 when it does not fit.
    static int GetVersion(char* buffer, unsigned long size);

  private:
    static const unsigned kPathCapacity = 260;

    void ListenerLoop();

    // Written by Start while not listening; read by the listener thread,
    // which hands each connection its own copy.
    std::uintptr_t listenSocket;  // valid exactly while listening
    std::thread listenerThread;
    // The operating system's id of the listener thread (0 before the first
    // Start): GetCurrentThreadId on Windows, the kernel's thread id
    // (gettid) on Linux, taken by the listener thread as it starts.
    std::uint32_t listenerThreadId;
    // Auto-reset event, created not signalled by the constructor (a HANDLE
    // on Windows). The listener hands each new connection thread its start
    // record on its own stack and waits on this event until the thread has
    // copied the record.
    void* startEvent;
    RequestCallback requestCallback;
    char rootDirectory[kPathCapacity];    // empty: no files are served
    char defaultDocument[kPathCapacity];  // empty: "/" is not found
    unsigned long resultsSize;
    MetricsCallback metricsCallback;  // null: /metrics is a file path
    unsigned long metricsSize;        // bytes of the buffer metricsCallback gets
    unsigned short listenPort;        // 0 while not listening
    // Open connections, hidden files and the idle time-out, shared with the
    // connection threads.
    portavex::strConnectionTable* connections;
};

// Logged-in connections to the monitoring server kept between requests, each
// with the catalogue it loaded: at most a configured number of them, opened
// when a request finds none idle, closed when one has been idle too long, at
// a stop, or as soon as a request using it fails.
//
// One mutex guards the pool; requests that find every session in use wait
// on a condition variable for one to come back, and one expiry thread
// sleeps until the oldest idle session is due (nothing polls).
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "TesmoClient.h"

class SessionPool {
  public:
    SessionPool() = default;
    // Stops the pool.
    ~SessionPool();
    SessionPool(const SessionPool&) = delete;
    SessionPool& operator=(const SessionPool&) = delete;

    // Keeps up to size sessions, each closed once idle for idleSeconds.
    // A size of 0 leaves the pool off. Harmless when already started.
    void Start(int size, int idleSeconds);
    // Closes every idle session and ends the expiry thread; requests waiting
    // for a session get none, and sessions in use are closed when given
    // back. Start may follow. Harmless when stopped.
    void Stop();

    // A session for one request, waiting at most waitSeconds for one to come
    // free: the most recently used idle one, logged in and with its catalogue
    // (*reused true), or a new client, not yet connected, that counts against
    // the size from now on (*reused false). Null when none came free in time
    // or the pool is not started.
    std::unique_ptr<TesmoClient> Take(int waitSeconds, bool* reused);
    // Ends a request's use of a session: a healthy one (every exchange of the
    // request succeeded) waits for the next request; any other is closed and
    // its place freed. Null is ignored.
    void Give(std::unique_ptr<TesmoClient> session, bool healthy);

    // For the service's metrics: the sessions held by requests (those being
    // opened included), and the sessions waiting idle, logged in. The lock is
    // never held over an exchange with the server, so these do not wait long.
    int SessionsInUse() const;
    int SessionsIdle() const;

  private:
    using Clock = std::chrono::steady_clock;
    struct strIdle {
        std::unique_ptr<TesmoClient> session;
        Clock::time_point since;
    };

    void ExpiryLoop();
    bool HasPlace() const;

    mutable std::mutex lock;
    std::condition_variable cameBack;   // a session came back or its place was freed; or a stop
    std::condition_variable expiryDue;  // the idle list was empty and is not; or a stop
    std::vector<strIdle> idle;          // oldest first; requests take from the back
    int size = 0;
    Clock::duration idleTime{};
    bool running = false;
    std::thread expiry;
    int inUse = 0;
};

// The service's one pool, started with the configured sessions when they are
// above 0; it lives until the process ends.
extern SessionPool& sessionPool;

struct strSessionFigures;
// The metrics' source of the sessions gauges (a SessionFiguresSource): the
// service pool's figures; false when no sessions are configured.
bool ReadSessionFigures(strSessionFigures* figures);

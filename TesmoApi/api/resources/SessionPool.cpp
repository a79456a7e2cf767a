#include "api/resources/SessionPool.h"

#include <utility>

#include "api/Metrics.h"
#include "service/Configuration.h"

// Never destroyed: connection threads still answering as the process ends
// may give their sessions back after static destruction has begun.
SessionPool& sessionPool = *new SessionPool;

SessionPool::~SessionPool() {
    Stop();
}

void SessionPool::Start(int newSize, int idleSeconds) {
    std::lock_guard<std::mutex> guard(lock);
    if (running || newSize <= 0) return;
    size = newSize;
    idleTime = std::chrono::seconds(idleSeconds);
    running = true;
    expiry = std::thread(&SessionPool::ExpiryLoop, this);
}

void SessionPool::Stop() {
    std::vector<strIdle> closing;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!running) return;
        running = false;
        closing.swap(idle);
    }
    cameBack.notify_all();
    expiryDue.notify_all();
    expiry.join();
    // The sessions close (each disconnects) as closing goes.
}

bool SessionPool::HasPlace() const {
    return inUse + static_cast<int>(idle.size()) < size;
}

std::unique_ptr<TesmoClient> SessionPool::Take(int waitSeconds, bool* reused) {
    std::unique_lock<std::mutex> guard(lock);
    const bool ready = cameBack.wait_for(guard, std::chrono::seconds(waitSeconds), [this] {
        return !running || !idle.empty() || HasPlace();
    });
    if (!ready || !running) return nullptr;
    ++inUse;
    *reused = !idle.empty();
    if (!*reused) {
        guard.unlock();
        return std::unique_ptr<TesmoClient>(new TesmoClient);
    }
    std::unique_ptr<TesmoClient> session = std::move(idle.back().session);
    idle.pop_back();
    return session;
}

void SessionPool::Give(std::unique_ptr<TesmoClient> session, bool healthy) {
    if (!session) return;
    {
        std::lock_guard<std::mutex> guard(lock);
        --inUse;
        if (healthy && running) {
            idle.push_back({std::move(session), Clock::now()});
            if (idle.size() == 1) expiryDue.notify_one();
        }
    }
    cameBack.notify_one();
    // A session not kept closes here, outside the lock.
}

int SessionPool::SessionsInUse() const {
    std::lock_guard<std::mutex> guard(lock);
    return inUse;
}

int SessionPool::SessionsIdle() const {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(idle.size());
}

// Sleeps until the oldest idle session is due and closes it; with none idle,
// until one is.
void SessionPool::ExpiryLoop() {
    std::unique_lock<std::mutex> guard(lock);
    while (running) {
        if (idle.empty()) {
            expiryDue.wait(guard);
            continue;
        }
        const Clock::time_point due = idle.front().since + idleTime;
        if (Clock::now() < due) {
            expiryDue.wait_until(guard, due);
            continue;
        }
        std::unique_ptr<TesmoClient> expired = std::move(idle.front().session);
        idle.erase(idle.begin());
        guard.unlock();
        expired.reset();
        cameBack.notify_one();
        guard.lock();
    }
}

bool ReadSessionFigures(strSessionFigures* figures) {
    if (serverSessions == 0) return false;
    figures->inUse = static_cast<uint64_t>(sessionPool.SessionsInUse());
    figures->idle = static_cast<uint64_t>(sessionPool.SessionsIdle());
    return true;
}

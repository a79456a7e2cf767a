// The start event from the standard library; thread ids from the kernel.
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <new>

#include "Platform.h"

namespace portavex {

namespace {

struct strEvent {
    std::mutex lock;
    std::condition_variable changed;
    bool signalled = false;
};

strEvent* EventOf(EventHandle event) {
    return static_cast<strEvent*>(event);
}

}  // namespace

EventHandle EventCreate() {
    return new (std::nothrow) strEvent;
}

void EventSet(EventHandle event) {
    strEvent* state = EventOf(event);
    std::lock_guard<std::mutex> guard(state->lock);
    state->signalled = true;
    state->changed.notify_one();
}

void EventWait(EventHandle event) {
    strEvent* state = EventOf(event);
    std::unique_lock<std::mutex> guard(state->lock);
    state->changed.wait(guard, [state] { return state->signalled; });
    state->signalled = false;
}

void EventClose(EventHandle event) {
    delete EventOf(event);
}

// The kernel's thread id, as ps and /proc show it; it fits 32 bits (pid_t).
uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

}  // namespace portavex

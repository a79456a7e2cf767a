// The start event and thread ids of Win32.
#include <windows.h>

#include "Platform.h"

namespace portavex {

EventHandle EventCreate() {
    // Auto-reset, not signalled, unnamed.
    return CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

void EventSet(EventHandle event) {
    SetEvent(event);
}

void EventWait(EventHandle event) {
    WaitForSingleObject(event, INFINITE);
}

void EventClose(EventHandle event) {
    CloseHandle(event);
}

uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}

}  // namespace portavex

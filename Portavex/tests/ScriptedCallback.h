// The request callback of the tests over real sockets: what it answers is
// scripted by the resource's name, and it records what it has seen.
#pragma once

#include <atomic>
#include <string>

#include "Portavex.h"

// What the scripted callback has seen.
struct strCallbackLog {
    std::atomic<int> calls{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    std::atomic<bool> release{false};   // lets "api/block" return
    std::atomic<bool> finished{false};  // "api/block" has returned
    // The digits of the "turn<digit>" calls, in the order they ran.
    static constexpr int kTurnCapacity = 1024;
    std::atomic<int> turnsTaken{0};
    std::atomic<int> turnOf[kTurnCapacity]{};
};
extern strCallbackLog callbackLog;

// The scripted callback, by resource:
//   echo        Ok, body "<resource>|<parameters>"
//   r<digit>    that result, body {"r":<digit>}
//   empty       Ok, no body
//   big         Ok, the whole results buffer
//   text<n>     Ok, n bytes of JSON-like text (cut to the buffer)
//   overlong    Ok with a length beyond the buffer
//   slow        Ok after 100 ms, counting concurrent calls
//   block       Ok once callbackLog.release is set
//   turn<digit> Ok, body "turn", the digit noted in callbackLog.turnOf
eRequestResult ScriptedCallback(char* resource, char* parameters, char* results,
                                unsigned long* resultsLength, unsigned long resultsSize);

constexpr unsigned long kTestResultsSize = 100000;

// A file answer without its validator lines (Last-Modified, ETag and
// Cache-Control, which come together), which depend on where and when the
// file was written; other answers unchanged.
std::string WithoutValidators(const std::string& answer);

// The value of the header line name in answer; empty when it has none.
std::string HeaderValue(const std::string& answer, const std::string& name);

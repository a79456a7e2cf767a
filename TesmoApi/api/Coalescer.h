// Identical requests in flight at once (the same resource and the same
// parameter document) share one round of work on the monitoring server and
// its answer. A request that arrives while a round for its twin is under
// way does not take that round's answer, which began before it arrived: it
// waits for the round to end, and the requests that waited meanwhile share
// the next round, run by the first of them. Each keeps its own results
// buffer and writes its own request log block.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "api/Dispatcher.h"

class RequestCoalescer {
  public:
    // Answers the request through handler, or copies the answer of the
    // round it joined into output; returns the round's result.
    eRequestResult Answer(const char* resource, const char* parameters, ResourceHandler handler,
                          strJsonOutput* output);

  private:
    struct strRound {
        bool led = false;   // a request runs (or ran) it
        bool done = false;  // result and document are final
        int waiting = 0;    // requests that will copy the answer
        eRequestResult result = ServiceError;
        std::string document;  // kept only when some request waits for it
    };
    // The rounds of one resource and parameter document.
    struct strTwins {
        std::shared_ptr<strRound> running;  // never null while the entry exists
        std::shared_ptr<strRound> next;     // gathers the requests that arrive meanwhile
    };

    // entry is key's, which stays where it is in twins until erased.
    eRequestResult Lead(const std::string& key, strTwins* entry,
                        const std::shared_ptr<strRound>& round, std::unique_lock<std::mutex>* guard,
                        const char* parameters, ResourceHandler handler, strJsonOutput* output);
    static bool MayLead(const strTwins& entry, const std::shared_ptr<strRound>& round);
    static void CopyAnswer(const strRound& round, strJsonOutput* output);

    std::mutex lock;
    std::condition_variable roundEnded;
    std::unordered_map<std::string, strTwins> twins;
};

#include "api/Coalescer.h"

#include <algorithm>
#include <cstring>

eRequestResult RequestCoalescer::Answer(const char* resource, const char* parameters,
                                        ResourceHandler handler, strJsonOutput* output) {
    // A resource name holds no NUL, so the key cannot be read two ways.
    std::string key(resource);
    key.push_back('\0');
    key.append(parameters);

    std::unique_lock<std::mutex> guard(lock);
    strTwins& entry = twins[key];
    if (!entry.running) {
        entry.running = std::make_shared<strRound>();
        entry.running->led = true;
        return Lead(key, &entry, entry.running, &guard, parameters, handler, output);
    }
    if (!entry.next) entry.next = std::make_shared<strRound>();
    const std::shared_ptr<strRound> round = entry.next;
    ++round->waiting;
    // Until the round is done it is the entry's next or running one, so the
    // entry stays; once it is done the entry is not looked at again.
    roundEnded.wait(guard, [&] { return round->done || MayLead(entry, round); });
    if (!round->done) {
        round->led = true;
        --round->waiting;
        return Lead(key, &entry, round, &guard, parameters, handler, output);
    }
    CopyAnswer(*round, output);
    return round->result;
}

// The round's turn has come and nobody runs it yet.
bool RequestCoalescer::MayLead(const strTwins& entry, const std::shared_ptr<strRound>& round) {
    return !round->led && entry.running == round;
}

eRequestResult RequestCoalescer::Lead(const std::string& key, strTwins* entry,
                                      const std::shared_ptr<strRound>& round,
                                      std::unique_lock<std::mutex>* guard, const char* parameters,
                                      ResourceHandler handler, strJsonOutput* output) {
    guard->unlock();
    const eRequestResult result = handler(parameters, output);
    guard->lock();
    round->result = result;
    if (round->waiting > 0) round->document.assign(output->buffer);
    round->done = true;
    entry->running = std::move(entry->next);
    if (!entry->running) twins.erase(key);
    guard->unlock();
    roundEnded.notify_all();
    return result;
}

// Every results buffer has the same size, so the copy fits; it is bounded
// all the same.
void RequestCoalescer::CopyAnswer(const strRound& round, strJsonOutput* output) {
    const size_t length = std::min<size_t>(round.document.size(), output->capacity);
    std::memcpy(output->buffer, round.document.data(), length);
    output->buffer[length] = '\0';
    output->remaining = output->capacity - static_cast<uint32_t>(length);
}

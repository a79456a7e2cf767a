// The bytes of every answer header the server sends, and sending them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "Platform.h"
#include "Portavex.h"

namespace portavex {

// Whether result is one of eRequestResult's, which have status lines.
bool IsKnownResult(int result);

// Writes the header of an answer into out (kResponseHeaderSize bytes) and returns its
// length. A body (length > 0) gets Content-Type, from the type registered for
// extension, and Content-Length. An Ok answer without body gets
// "Content-Length: 0", since the connection stays open after it; other
// answers without body end with the connection. origin adds the
// cross-origin line.
size_t FormatHeader(char* out, eRequestResult status, bool origin, uint64_t length,
                    const char* extension);
// FormatHeader with the content type given (read only when length > 0).
size_t FormatTypedHeader(char* out, eRequestResult status, bool origin, uint64_t length,
                         const char* contentType);

// Where one answer goes: the connection's socket, whether the request being
// answered carried an Origin header, and room for the header
// (kResponseHeaderSize bytes), and the counters of answers by status that
// this answer adds to (kRequestResultCount of them; null when not counted).
struct strAnswerChannel {
    Socket socket;
    bool origin;
    char* header;
    std::atomic<std::uint64_t>* answerCounts;
};

// Counts an answer with status on the channel's counters, if it has them.
void CountAnswer(const strAnswerChannel& channel, eRequestResult status);

// Sends an answer: its header (FormatHeader) and body (length bytes; null
// when length is 0) gathered into one send. False when the connection
// failed on the way.
bool SendAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                size_t length, const char* extension);

// SendAnswer with the content type given instead of an extension's.
bool SendTypedAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                     size_t length, const char* contentType);

// Sends an answer without body, after which the connection is closed.
// Returns false, the answer's verdict on the connection: it does not stay
// open.
bool SendError(const strAnswerChannel& channel, eRequestResult status);

}  // namespace portavex

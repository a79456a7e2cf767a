// The bytes of every answer header the server sends, and sending them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "Platform.h"
#include "Portavex.h"
#include "RequestParser.h"

namespace portavex {

// What an answer's header says about the coding of its body.
enum eBodyCoding {
    CodingFixed,     // a body no request header changes: nothing
    CodingIdentity,  // a body that could go gzip-coded goes as it is:
                     // "Vary: Accept-Encoding"
    CodingGzip       // "Content-Encoding: gzip" and the Vary line
};

// Whether result is one of eRequestResult's, which have status lines.
bool IsKnownResult(int result);

// The library's own answer to a request whose cached copy is still good; it
// has a status line of its own after those of eRequestResult.
constexpr eRequestResult NotModified = static_cast<eRequestResult>(NotImplemented + 1);
// The number of status lines: eRequestResult's and NotModified.
constexpr int kAnswerStatusCount = NotModified + 1;

// Where one answer goes: the connection's socket, whether the request being
// answered carried an Origin header, room for the header
// (kResponseHeaderSize bytes), what the request asked of the connection, and
// the counters of answers by status that this answer adds to
// (kAnswerStatusCount of them; null when not counted).
struct strAnswerChannel {
    Socket socket;
    bool origin;
    char* header;
    eConnectionFate fate;
    std::atomic<std::uint64_t>* answerCounts;
};

// Whether the connection stays open after an answer of status on channel.
bool KeepsConnection(const strAnswerChannel& channel, eRequestResult status);

// Counts an answer with status on the channel's counters, if it has them.
void CountAnswer(const strAnswerChannel& channel, eRequestResult status);

// Writes the header of an answer on channel into channel.header and returns
// its length. A body (length > 0) gets Content-Type, from the type
// registered for extension, and Content-Length. An Ok answer without body
// gets "Content-Length: 0", since the connection stays open after it; other
// answers without body end with the connection. The request's Origin header
// adds the cross-origin line. Then, in this order: "Content-Encoding: gzip"
// when coding is CodingGzip and there is a body; "Vary: Accept-Encoding"
// for any coding but CodingFixed, with a body or on a NotModified answer; lines
// (whole header lines, "" for none: a file's validators); and, when the
// connection ends after the answer, "Connection: close", or, when an
// HTTP/1.0 request asked to keep it, "Connection: keep-alive".
size_t FormatHeader(const strAnswerChannel& channel, eRequestResult status, uint64_t length,
                    const char* extension, eBodyCoding coding = CodingFixed,
                    const char* lines = "");

// Sends an answer: its header (FormatHeader) and body (length bytes; null
// when length is 0) gathered into one send. True when it went out and the
// connection stays open after it (KeepsConnection).
bool SendAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                size_t length, const char* extension, eBodyCoding coding = CodingFixed,
                const char* lines = "");

// SendAnswer with the content type given instead of an extension's.
bool SendTypedAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                     size_t length, const char* contentType, eBodyCoding coding = CodingFixed,
                     const char* lines = "");

// Sends an answer without body, after which the connection is closed.
// Returns false, the answer's verdict on the connection: it does not stay
// open.
bool SendError(const strAnswerChannel& channel, eRequestResult status);

}  // namespace portavex

// The bytes of every answer header the server sends, and sending them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform.h"
#include "Portavex.h"

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

// Writes the header of an answer into out (kResponseHeaderSize bytes) and returns its
// length. A body (length > 0) gets Content-Type, from the type registered for
// extension, and Content-Length. An Ok answer without body gets
// "Content-Length: 0", since the connection stays open after it; other
// answers without body end with the connection. origin adds the
// cross-origin line. coding adds its lines to an answer with a body, after
// the others.
size_t FormatHeader(char* out, eRequestResult status, bool origin, uint64_t length,
                    const char* extension, eBodyCoding coding = CodingFixed);

// Where one answer goes: the connection's socket, whether the request being
// answered carried an Origin header, and room for the header
// (kResponseHeaderSize bytes).
struct strAnswerChannel {
    Socket socket;
    bool origin;
    char* header;
};

// Sends an answer: its header (FormatHeader) and body (length bytes; null
// when length is 0) gathered into one send. False when the connection
// failed on the way.
bool SendAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                size_t length, const char* extension, eBodyCoding coding = CodingFixed);

// Sends an answer without body, after which the connection is closed.
// Returns false, the answer's verdict on the connection: it does not stay
// open.
bool SendError(const strAnswerChannel& channel, eRequestResult status);

}  // namespace portavex

// Reads what the server dispatches on out of one request: from its line the
// method, the requested path and the raw query; from its header lines what
// the request says about its connection, the codings it accepts and the
// validators of a cached copy.
// (The framer sees the Origin header.)
#pragma once

#include <cstddef>

#include "AcceptEncoding.h"

namespace portavex {

enum eMethod { MethodUnknown = 0, MethodGet = 2 };

// What happens to the connection after the answer.
enum eConnectionFate {
    FateKeep,          // HTTP/1.1 without a "close" token: stays open
    FateClose,         // answered, then closed
    FateKeepAnnounced  // HTTP/1.0 that asked to stay open: stays open and
                       // the answer says so
};

struct strRequest {
    int method;        // MethodGet or MethodUnknown
    char* resource;    // decoded path after "GET /", cut at the first '?'
    char* query;       // raw text after that '?'; null when there is none
    bool badEncoding;  // the path decodes to a NUL byte
    bool http10;       // the request line names HTTP/1.0
    // Tokens of the Connection header lines, in any letter case.
    bool askedClose;
    bool askedKeepAlive;
    // Values of the validator header lines, blanks trimmed; null when absent.
    const char* ifNoneMatch;
    const char* ifModifiedSince;
    // The Accept-Encoding lines, read together: AllowsGzip tells whether the
    // answer may travel gzip-coded.
    strCodingWeights codings;
};

// view: a request line and header lines, terminated; the request line is
// the text before the first CR or LF that follows something else. The view is modified in place:
// terminators are written into it and the path is decoded where it stands.
void ParseRequest(char* view, strRequest* request);

// The connection's fate after answering request.
eConnectionFate FateOf(const strRequest& request);

// Replaces each "%" and two hexadecimal digits in text by that byte, in
// place; anything else stays. False when a NUL byte would result.
bool PercentDecode(char* text);

// The next element of the comma-separated list at *cursor, blanks around it
// trimmed and empty elements skipped: its start, with its length in
// *length, and *cursor moved past it. Null when no element is left.
const char* NextListElement(const char** cursor, size_t* length);

// Whether text[0, length) is word (lower case) in any letter case.
bool IsToken(const char* text, size_t length, const char* word);

}  // namespace portavex

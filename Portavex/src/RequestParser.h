// Reads what the server dispatches on out of one request's line: the method,
// the requested path and the raw query. (The framer sees the Origin header.)
#pragma once

namespace portavex {

enum eMethod { MethodUnknown = 0, MethodGet = 2 };

struct strRequest {
    int method;        // MethodGet or MethodUnknown
    char* resource;    // decoded path after "GET /", cut at the first '?'
    char* query;       // raw text after that '?'; null when there is none
    bool badEncoding;  // the path decodes to a NUL byte
    bool acceptsGzip;  // Accept-Encoding allows a gzip-coded answer
};

// view: a request line and header lines, terminated; the request line is
// the text before the first CR or LF that follows something else. The view is modified in place:
// terminators are written into it and the path is decoded where it stands.
void ParseRequest(char* view, strRequest* request);

// Replaces each "%" and two hexadecimal digits in text by that byte, in
// place; anything else stays. False when a NUL byte would result.
bool PercentDecode(char* text);

}  // namespace portavex

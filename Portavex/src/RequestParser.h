// Reads what the server dispatches on out of one request: the method, the
// requested path, the raw query and whether an Origin header came with it.
#pragma once

namespace portavex {

enum eMethod { MethodUnknown = 0, MethodGet = 2 };

struct strRequest {
    int method;        // MethodGet or MethodUnknown
    char* resource;    // decoded path after "GET /", cut at the first '?'
    char* query;       // raw text after that '?'; null when there is none
    bool hasOrigin;    // a header line begins with "Origin" (any letter case)
    bool badEncoding;  // the path decodes to a NUL byte
};

// view: a request line and header lines, terminated. It is modified in place:
// terminators are written into it and the path is decoded where it stands.
void ParseRequest(char* view, strRequest* request);

// Replaces each "%" and two hexadecimal digits in text by that byte, in
// place; anything else stays. False when a NUL byte would result.
bool PercentDecode(char* text);

}  // namespace portavex

// Whether a request lets its answer travel gzip-coded: its Accept-Encoding
// header lines read as a list of codings, each with an optional weight
// ("gzip, deflate;q=0.5, *;q=0").
#pragma once

#include <cstddef>

namespace portavex {

// Whether one Accept-Encoding value (length bytes) allows gzip: "gzip" or
// "x-gzip" (any letter case) with a weight above 0, or, when neither is
// named, "*" with a weight above 0. A named gzip with weight 0 refuses it
// whatever "*" says. An element with a malformed weight counts as absent.
bool AcceptEncodingAllowsGzip(const char* value, size_t length);

// Whether the header lines of request (a request line and its header lines,
// as received, terminated) allow gzip. Several Accept-Encoding lines count
// as one list. Lines end at every CR or LF.
bool RequestAcceptsGzip(const char* request);

}  // namespace portavex

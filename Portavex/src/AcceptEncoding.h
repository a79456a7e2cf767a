// Whether a request lets its answer travel gzip-coded: its Accept-Encoding
// header lines read as a list of codings, each with an optional weight
// ("gzip, deflate;q=0.5, *;q=0").
#pragma once

#include <cstddef>

namespace portavex {

// No element of the kind seen yet.
constexpr int kCodingNotNamed = -1;

// The heaviest weights (in thousandths) the Accept-Encoding lines of a
// request have given so far to gzip (also as "x-gzip") and to "*".
struct strCodingWeights {
    int gzip = kCodingNotNamed;
    int any = kCodingNotNamed;
};

// Adds one Accept-Encoding value (length bytes) to weights, so that several
// lines count as one list. An element with a malformed weight counts as
// absent.
void ReadAcceptEncoding(const char* value, size_t length, strCodingWeights* weights);

// Whether weights allow gzip: "gzip" or "x-gzip" (any letter case) with a
// weight above 0, or, when neither is named, "*" with a weight above 0. A
// named gzip with weight 0 refuses it whatever "*" says.
bool AllowsGzip(const strCodingWeights& weights);

}  // namespace portavex

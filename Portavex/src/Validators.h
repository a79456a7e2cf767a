// What lets a client keep a copy of a file and ask whether it is still
// good: the file's Last-Modified date and its entity tag, and the checks of
// a request's If-None-Match and If-Modified-Since against them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform.h"

namespace portavex {

// An IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT") and its terminator.
constexpr size_t kHttpDateSize = 30;
// What the entity tag of a gzip-coded answer has after the numbers of the
// file's own, inside the quotes: the two codings are two representations.
const char kGzipTagSuffix[] = "-gz";
// A quoted entity tag made of four 64-bit numbers in hexadecimal, three
// dashes between them, the gzip suffix, and its terminator.
constexpr size_t kEntityTagSize = 4 * 16 + 3 + (sizeof(kGzipTagSuffix) - 1) + 2 + 1;
// The header lines of a file's validators, and their terminator.
constexpr size_t kValidatorLinesSize = 192;

// Writes the IMF-fixdate of seconds since 1970-01-01 UTC into out
// (kHttpDateSize bytes); times before 1970 or after 9999 are written as the
// nearest end of that range.
void FormatHttpDate(int64_t seconds, char* out);
// Reads an IMF-fixdate into seconds since 1970-01-01 UTC. False for any
// other text: another date form, a damaged or impossible date, trailing text.
bool ParseHttpDate(const char* text, int64_t* seconds);

// The validators of one version of a file.
struct strFileValidators {
    int64_t modifiedSeconds;
    char entityTag[kEntityTagSize];  // quoted, strong
    // "Last-Modified", "ETag" and "Cache-Control: no-cache" header lines.
    char lines[kValidatorLinesSize];
};

// The validators of a file version, for its answer as it is or, when
// gzipCoded, for its gzip-coded answer, whose entity tag ends in
// kGzipTagSuffix.
void MakeValidators(const strFileVersion& version, bool gzipCoded, strFileValidators* validators);

// Whether the copy a request describes by its If-None-Match and
// If-Modified-Since values (null when absent) is still the file: an entity
// tag of the list matches by weak comparison, or the list is "*"; without
// If-None-Match, a readable date not older than the file's.
bool IsCopyCurrent(const strFileValidators& validators, const char* ifNoneMatch,
                   const char* ifModifiedSince);

}  // namespace portavex

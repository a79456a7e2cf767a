// Where the request log's text goes: standard output, written past the C
// library's stream, so that no thread holds a lock while another's text is
// being written out.
#pragma once

#include <cstddef>

// A piece of text to write.
struct strLogPiece {
    const char* text;
    size_t length;
};

// The most pieces one unit has.
constexpr size_t kLogMostPieces = 8;

// Writes the pieces (at most kLogMostPieces; more are left out), in order, to standard output as
// one unit: the text of one call never interleaves with that of another thread's. A unit that the
// system writes whole in one call is written without a lock; a longer one
// takes a lock, since a pipe may take it in parts.
void LogWrite(const strLogPiece* pieces, size_t count);

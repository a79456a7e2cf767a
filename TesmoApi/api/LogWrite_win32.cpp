// Through the C library's stream, under its lock, flushed at the end of
// each unit.
#include <cstdio>

#include "api/LogWrite.h"

void LogWrite(const strLogPiece* pieces, size_t count) {
    _lock_file(stdout);
    for (size_t i = 0; i < count; i++) {
        std::fwrite(pieces[i].text, 1, pieces[i].length, stdout);
    }
    std::fflush(stdout);
    _unlock_file(stdout);
}

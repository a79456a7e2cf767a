// One gathered write to descriptor 1: a file is written whole by one call,
// and so is a pipe up to PIPE_BUF bytes.
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>

#include "api/LogWrite.h"

namespace {

std::mutex longUnits;

// Writes length bytes of text; gives up when standard output is gone or full.
void WriteRest(const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

void WriteUnit(const strLogPiece* pieces, size_t count, const iovec* vector, size_t total) {
    ssize_t written;
    do {
        written = writev(STDOUT_FILENO, vector, static_cast<int>(count));
    } while (written < 0 && errno == EINTR);
    size_t done = written > 0 ? static_cast<size_t>(written) : 0;
    if (done == total) return;
    // Taken in part (a signal, a full disk): the rest goes piece by piece.
    for (size_t i = 0; i < count; i++) {
        if (done >= pieces[i].length) {
            done -= pieces[i].length;
            continue;
        }
        WriteRest(pieces[i].text + done, pieces[i].length - done);
        done = 0;
    }
}

}  // namespace

void LogWrite(const strLogPiece* pieces, size_t count) {
    iovec vector[kLogMostPieces];
    size_t total = 0;
    if (count > kLogMostPieces) count = kLogMostPieces;
    for (size_t i = 0; i < count; i++) {
        vector[i] = {const_cast<char*>(pieces[i].text), pieces[i].length};
        total += pieces[i].length;
    }
    if (total <= PIPE_BUF) return WriteUnit(pieces, count, vector, total);
    std::lock_guard<std::mutex> guard(longUnits);
    WriteUnit(pieces, count, vector, total);
}

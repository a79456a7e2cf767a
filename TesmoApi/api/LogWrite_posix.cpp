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

// Drops the first written bytes from the pieces at *next (*left of them),
// and the pieces that are then empty.
void Consume(iovec** next, size_t* left, size_t written) {
    while (*left > 0 && written >= (*next)->iov_len) {
        written -= (*next)->iov_len;
        ++*next;
        --*left;
    }
    if (*left == 0) return;
    (*next)->iov_base = static_cast<char*>((*next)->iov_base) + written;
    (*next)->iov_len -= written;
}

void WriteAll(iovec* next, size_t left) {
    Consume(&next, &left, 0);
    while (left > 0) {
        ssize_t written = writev(STDOUT_FILENO, next, static_cast<int>(left));
        if (written < 0 && errno == EINTR) continue;
        // Standard output is gone or full: the log loses the rest.
        if (written <= 0) return;
        Consume(&next, &left, static_cast<size_t>(written));
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
    if (total <= PIPE_BUF) return WriteAll(vector, count);
    std::lock_guard<std::mutex> guard(longUnits);
    WriteAll(vector, count);
}

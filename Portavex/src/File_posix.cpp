// Files through POSIX descriptors; a file is known by its device and inode.
#include <fcntl.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>

#include "Platform.h"

namespace portavex {

namespace {

// "/proc/self/fd/" and a descriptor number.
constexpr size_t kDescriptorLinkSize = 32;
// The most one sendfile call is asked for (the kernel's own limit is just
// under 2 GiB).
constexpr uint64_t kSendFileStep = 1u << 30;

int Fd(FileHandle file) {
    return static_cast<int>(file);
}

strFileIdentity IdentityOf(const struct stat& status) {
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

// sendfile has no MSG_NOSIGNAL: SIGPIPE is held back on this thread while
// it runs, and one raised by a peer that went away is taken back off.
class PipeSignalHold {
  public:
    PipeSignalHold() {
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    }
    ~PipeSignalHold() {
        if (raised && !wasPending) {
            const timespec none = {0, 0};
            sigtimedwait(&pipe, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    PipeSignalHold(const PipeSignalHold&) = delete;
    PipeSignalHold& operator=(const PipeSignalHold&) = delete;
    bool raised = false;

  private:
    sigset_t pipe;
    sigset_t previous;
    bool wasPending = false;
};

}  // namespace

bool FileOpen(const char* path, FileHandle* file) {
    // O_NONBLOCK keeps a named pipe from blocking the open; it is refused
    // below, and reads of regular files ignore the flag.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return false;
    }
    *file = fd;
    return true;
}

bool FileVersion(FileHandle file, strFileVersion* version) {
    struct stat status;
    if (fstat(Fd(file), &status) != 0 || status.st_size < 0) return false;
    version->identity = IdentityOf(status);
    version->size = static_cast<uint64_t>(status.st_size);
    version->modified.seconds = static_cast<int64_t>(status.st_mtim.tv_sec);
    version->modified.fraction = static_cast<uint32_t>(status.st_mtim.tv_nsec);
    return true;
}

bool FileIdentity(FileHandle file, strFileIdentity* identity) {
    struct stat status;
    if (fstat(Fd(file), &status) != 0) return false;
    *identity = IdentityOf(status);
    return true;
}

bool PathIdentity(const char* path, strFileIdentity* identity) {
    struct stat status;
    if (stat(path, &status) != 0) return false;
    *identity = IdentityOf(status);
    return true;
}

bool FileRewind(FileHandle file) {
    return lseek(Fd(file), 0, SEEK_SET) == 0;
}

// The kernel names the file behind each descriptor in /proc.
bool FileStoredPath(FileHandle file, char* path, size_t size) {
    char link[kDescriptorLinkSize];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", Fd(file));
    if (size < 2) return false;
    ssize_t length = readlink(link, path, size - 1);
    // A link that fills the buffer may have been cut.
    if (length <= 0 || static_cast<size_t>(length) >= size - 1) return false;
    path[length] = '\0';
    return true;
}

long FileRead(FileHandle file, char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(Fd(file), buffer + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<long>(done);
}

bool FileSend(FileHandle file, uint64_t size, Socket s, const char* header, size_t headerLength,
              char*, size_t) {
    // The header waits for the file's first bytes, to leave in one segment
    // with them; an empty file has none to wait for.
    if (!SendGathered(s, header, headerLength, nullptr, 0, size > 0)) return false;
    PipeSignalHold hold;
    while (size > 0) {
        const size_t want = static_cast<size_t>(size < kSendFileStep ? size : kSendFileStep);
        const ssize_t sent = sendfile(static_cast<int>(s), Fd(file), nullptr, want);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno == EPIPE) hold.raised = true;
        // Nothing sent: the file ended early, the send failed or timed out.
        if (sent <= 0) return false;
        size -= static_cast<uint64_t>(sent);
    }
    return true;
}

void FileClose(FileHandle file) {
    close(Fd(file));
}

}  // namespace portavex

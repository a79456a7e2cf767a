// Files through POSIX descriptors; a file is known by its device and inode.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Platform.h"

namespace portavex {

namespace {

int Fd(FileHandle file) {
    return static_cast<int>(file);
}

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

bool FileSize(FileHandle file, uint64_t* size) {
    struct stat status;
    if (fstat(Fd(file), &status) != 0 || status.st_size < 0) return false;
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool FileIdentity(FileHandle file, strFileIdentity* identity) {
    struct stat status;
    if (fstat(Fd(file), &status) != 0) return false;
    identity->volume = static_cast<uint64_t>(status.st_dev);
    identity->index = static_cast<uint64_t>(status.st_ino);
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

void FileClose(FileHandle file) {
    close(Fd(file));
}

}  // namespace portavex

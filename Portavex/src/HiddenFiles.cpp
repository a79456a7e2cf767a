#include "HiddenFiles.h"

#include <cstring>

#include "FileName.h"

namespace portavex {

namespace {

// The name after the last separator of either platform.
const char* LastSegment(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; p++) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

bool CopyText(char* field, const char* text) {
    size_t length = std::strlen(text);
    if (length >= kPathSize) return false;
    std::memcpy(field, text, length + 1);
    return true;
}

bool IsCopyOf(const strHiddenFile& hidden, const char* name) {
    return IsCopyOfName(name, hidden.name) || IsCopyOfName(name, hidden.storedName);
}

}  // namespace

bool HiddenFiles::Add(const char* path) {
    std::lock_guard<std::mutex> guard(adding);
    size_t next = count.load(std::memory_order_relaxed);
    if (next == kHiddenFileLimit) return false;
    strHiddenFile& entry = files[next];
    FileHandle file;
    if (!CopyText(entry.path, path) || !FileOpen(path, &file)) return false;
    CopyText(entry.name, LastSegment(path));
    char stored[kStoredPathSize];
    if (!FileStoredPath(file, stored, sizeof stored) ||
        !CopyText(entry.storedName, LastSegment(stored))) {
        CopyText(entry.storedName, entry.name);
    }
    bool known = FileIdentity(file, &entry.original);
    FileClose(file);
    if (!known) return false;
    count.store(next + 1, std::memory_order_release);
    return true;
}

bool HiddenFiles::Hides(FileHandle file, const strFileIdentity& identity,
                        const char* requestedPath) const {
    size_t hidden = count.load(std::memory_order_acquire);
    if (hidden == 0) return false;
    const char* requested = LastSegment(requestedPath);
    for (size_t i = 0; i < hidden; i++) {
        if (SameFile(identity, files[i].original) || IsCopyOf(files[i], requested)) {
            return true;
        }
    }
    // The file at a hidden path may have been replaced since.
    for (size_t i = 0; i < hidden; i++) {
        strFileIdentity now;
        if (PathIdentity(files[i].path, &now) && SameFile(identity, now)) return true;
    }
    // Reached through a link or an 8.3 short name, the file's own name may
    // differ from the one requested.
    char stored[kStoredPathSize];
    if (!FileStoredPath(file, stored, sizeof stored)) return false;
    for (size_t i = 0; i < hidden; i++) {
        if (IsCopyOf(files[i], LastSegment(stored))) return true;
    }
    return false;
}

}  // namespace portavex

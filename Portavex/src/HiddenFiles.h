// The files a server never serves, such as a configuration file that holds a
// password. A hidden file stays hidden whatever happens to it while the
// server runs: saved again (a new file renamed over it, deleted and created
// again, copied in), hard-linked, or asked for by any spelling of its name;
// and so do its backups and editor copies.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "Limits.h"
#include "Platform.h"

namespace portavex {

struct strHiddenFile {
    char path[kPathSize];  // as given; looked at again for every request
    // For the rule on copies: the file name in path, and the one the file
    // has on disk (they differ for a link or a short name).
    char name[kPathSize];
    char storedName[kPathSize];
    strFileIdentity original;  // the file at path when it was hidden
};

class HiddenFiles {
  public:
    // Hides the file at path (relative to the current directory if not
    // absolute). False when it cannot be opened, its path is too long or
    // kHiddenFileLimit files are hidden already.
    bool Add(const char* path);
    // Whether the open file, of that identity and found at requestedPath,
    // must not be served: it is the file that stood at a hidden path when
    // that was hidden, or the one that stands there now, or its name as
    // requested or as stored on disk is a copy of a hidden file's name.
    // Safe on any thread, without a lock; costs one identity read per
    // hidden path and one look at the file's stored name.
    bool Hides(FileHandle file, const strFileIdentity& identity, const char* requestedPath) const;

  private:
    std::mutex adding;
    strHiddenFile files[kHiddenFileLimit];
    // Entries below count are complete and never change again.
    std::atomic<size_t> count{0};
};

}  // namespace portavex

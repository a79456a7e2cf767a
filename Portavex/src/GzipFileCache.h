// gzip-coded text files kept in memory, shared by the connection threads, so
// that a file is compressed once for as long as it stays the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform.h"

namespace portavex {

// The coded form of a file version. Empty when gzip would not make the file
// smaller, so that it goes out as it is.
using GzipMember = std::shared_ptr<const std::string>;

// At most kGzipCacheFiles files and kGzipCacheBytes bytes of members; the
// one used longest ago goes first. Every call takes the cache's lock.
class GzipFileCache {
  public:
    // The member stored for version; null when none is (a different
    // version of the same file is no match). The member stays valid while
    // the caller holds it, whatever the cache does meanwhile.
    GzipMember Find(const strFileVersion& version);
    // Stores member for version in place of any other version of the same
    // file. A member larger than the whole cache is not stored.
    void Store(const strFileVersion& version, GzipMember member);

  private:
    struct strEntry {
        strFileVersion version;
        GzipMember member;
        uint64_t lastUse;  // useCount when it was last found or stored
    };

    // The entry of the file of version; null when there is none.
    strEntry* EntryOf(const strFileIdentity& identity);
    // Drops the entries used longest ago until room bytes more fit.
    void MakeRoom(size_t room);

    std::mutex lock;  // guards the fields below
    std::vector<strEntry> entries;
    size_t bytes = 0;       // members' bytes in entries
    uint64_t useCount = 0;  // finds and stores so far
};

}  // namespace portavex

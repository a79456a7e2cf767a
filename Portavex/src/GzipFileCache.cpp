#include "GzipFileCache.h"

#include <algorithm>
#include <utility>

#include "Limits.h"

namespace portavex {

GzipFileCache::strEntry* GzipFileCache::EntryOf(const strFileIdentity& identity) {
    for (strEntry& entry : entries) {
        if (SameFile(entry.version.identity, identity)) return &entry;
    }
    return nullptr;
}

GzipMember GzipFileCache::Find(const strFileVersion& version) {
    std::lock_guard<std::mutex> guard(lock);
    strEntry* entry = EntryOf(version.identity);
    if (entry == nullptr || entry->version.size != version.size ||
        entry->version.modified.seconds != version.modified.seconds ||
        entry->version.modified.fraction != version.modified.fraction) {
        return nullptr;
    }
    entry->lastUse = ++useCount;
    return entry->member;
}

void GzipFileCache::MakeRoom(size_t room) {
    while (!entries.empty() &&
           (entries.size() >= kGzipCacheFiles || bytes + room > kGzipCacheBytes)) {
        auto oldest = std::min_element(
            entries.begin(), entries.end(),
            [](const strEntry& a, const strEntry& b) { return a.lastUse < b.lastUse; });
        bytes -= oldest->member->size();
        entries.erase(oldest);
    }
}

void GzipFileCache::Store(const strFileVersion& version, GzipMember member) {
    if (member == nullptr || member->size() > kGzipCacheBytes) return;
    std::lock_guard<std::mutex> guard(lock);
    strEntry* entry = EntryOf(version.identity);
    if (entry != nullptr) {
        bytes -= entry->member->size();
        entries.erase(entries.begin() + (entry - entries.data()));
    }
    MakeRoom(member->size());
    bytes += member->size();
    entries.push_back({version, std::move(member), ++useCount});
}

}  // namespace portavex

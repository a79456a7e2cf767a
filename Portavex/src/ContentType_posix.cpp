// Content types from the system's /etc/mime.types (lines of a type followed
// by its extensions, '#' starting a comment), read once on first use and
// kept until the process ends.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Limits.h"
#include "Platform.h"

namespace portavex {

namespace {

const char kMimeTypesFile[] = "/etc/mime.types";

using TypeTable = std::vector<std::pair<std::string, std::string>>;  // extension, type

TypeTable LoadTypes() {
    TypeTable table;
    std::ifstream file(kMimeTypesFile);
    std::string line;
    while (std::getline(file, line)) {
        line.erase(std::min(line.find('#'), line.size()));
        std::istringstream words(line);
        std::string type;
        std::string extension;
        if (!(words >> type)) continue;
        while (words >> extension) table.emplace_back(extension, type);
    }
    // The first line that names an extension wins, as in the file's readers.
    std::stable_sort(table.begin(), table.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return table;
}

// Never destroyed: connection threads may still format answers while the
// process runs its exit handlers, before the server object that waits for
// them is destroyed.
const TypeTable& Types() {
    static const TypeTable* const table = new TypeTable(LoadTypes());
    return *table;
}

}  // namespace

bool FindContentType(const char* extension, char* type) {
    if (extension[0] != '.') return false;
    // Extensions are matched without regard to letter case, as on Windows.
    char key[kExtensionSize] = {};
    size_t length = std::strlen(extension + 1);
    if (length == 0 || length >= sizeof(key)) return false;
    for (size_t i = 0; i < length; i++) {
        char c = extension[1 + i];
        key[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const TypeTable& table = Types();
    auto found = std::lower_bound(table.begin(), table.end(), key,
                                  [](const auto& entry, const char* k) { return entry.first < k; });
    if (found == table.end() || found->first != key) return false;
    if (found->second.size() >= kContentTypeSize) return false;
    std::memcpy(type, found->second.c_str(), found->second.size() + 1);
    return true;
}

}  // namespace portavex

// Requested file names through the static-file name check. Checks that a name
// the check lets through has no empty segment, is not rooted, ends in a file
// name rather than "." or "..", never climbs above the root with "..", and
// combines with the root to exactly root/ and its "." and ".." segments
// resolved: nothing in it climbs out. Also checks the rule on copies of a
// hidden name against the name's own prefix.
#include <cstring>
#include <string>
#include <vector>

#include "FileName.h"
#include "FuzzCheck.h"
#include "Limits.h"
#include "Platform.h"

using namespace portavex;

namespace {

const char kRoot[] = "/srv/www";

// The name with "." dropped and ".." taking away the segment before it.
std::string Resolve(const std::string& name) {
    std::vector<std::string> kept;
    size_t start = 0;
    for (;;) {
        size_t end = name.find('/', start);
        std::string segment = name.substr(start, end - start);
        FUZZ_CHECK(!segment.empty());
        if (segment == "..") {
            FUZZ_CHECK(!kept.empty());
            kept.pop_back();
        } else if (segment != ".") {
            kept.push_back(segment);
        }
        if (end == std::string::npos) {
            FUZZ_CHECK(segment != "." && segment != "..");
            break;
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string& segment : kept) resolved += "/" + segment;
    return resolved;
}

void CheckCopies(const std::string& name) {
    // Every prefix of a name, as a hidden name, has the name as a copy.
    for (size_t length = 1; length <= name.size(); length++) {
        FUZZ_CHECK(IsCopyOfName(name.c_str(), name.substr(0, length).c_str()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::string name(reinterpret_cast<const char*>(data), size);
    name = name.c_str();  // a requested name ends at its first NUL
    CheckCopies(name);
    if (!IsServableName(name.c_str())) return 0;
    FUZZ_CHECK(name.find('\\') == std::string::npos && name.find(':') == std::string::npos);
    std::string resolved = Resolve(name);
    char path[kPathSize];
    if (!CombinePath(path, sizeof path, kRoot, name.c_str())) return 0;
    FUZZ_CHECK(std::string(kRoot) + resolved == path);
    return 0;
}

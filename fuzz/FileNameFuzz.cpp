// Requested file names through the static-file name check. Checks that a name
// the check lets through has no empty, "." or ".." segment, is not rooted, and
// combines with the root to exactly root/name: nothing in it climbs out.
#include <cstring>
#include <string>

#include "FileName.h"
#include "FuzzCheck.h"
#include "Limits.h"
#include "Platform.h"

using namespace portavex;

namespace {

const char kRoot[] = "/srv/www";

void CheckSegments(const std::string& name) {
    size_t start = 0;
    for (;;) {
        size_t end = name.find('/', start);
        std::string segment = name.substr(start, end - start);
        FUZZ_CHECK(!segment.empty() && segment != "." && segment != "..");
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::string name(reinterpret_cast<const char*>(data), size);
    name = name.c_str();  // a requested name ends at its first NUL
    if (!IsServableName(name.c_str())) return 0;
    FUZZ_CHECK(name.find('\\') == std::string::npos && name.find(':') == std::string::npos);
    CheckSegments(name);
    char path[kPathSize];
    if (!CombinePath(path, sizeof path, kRoot, name.c_str())) return 0;
    FUZZ_CHECK(std::string(kRoot) + "/" + name == path);
    return 0;
}

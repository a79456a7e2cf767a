// Path combination by the same lexical rule as the Windows shell's: join
// with a separator, drop "." segments and let ".." remove the segment
// before it; a name starting with the separator stands on its own.
#include <cstring>

#include "Limits.h"
#include "Platform.h"

namespace portavex {

namespace {

const char kSeparator = '/';

struct strPathBuilder {
    char* out;
    size_t size;
    size_t length;
    size_t segmentStarts[kPathSize];
    size_t depth;       // segments written
    size_t fixedDepth;  // leading ".." segments of a relative path
    bool fits;

    void Push(const char* segment, size_t count) {
        size_t start = length;
        size_t separator = length > 0 && out[length - 1] != kSeparator ? 1 : 0;
        if (start + separator + count >= size || depth == kPathSize) {
            fits = false;
            return;
        }
        if (separator) out[length++] = kSeparator;
        std::memcpy(out + length, segment, count);
        length += count;
        segmentStarts[depth++] = start;
    }

    void Add(const char* segment, size_t count, bool absolute) {
        if (count == 0 || (count == 1 && segment[0] == '.')) return;
        if (count != 2 || segment[0] != '.' || segment[1] != '.') return Push(segment, count);
        if (depth > fixedDepth) {
            length = segmentStarts[--depth];
        } else if (!absolute) {
            Push(segment, count);
            fixedDepth = depth;
        }
    }

    void AddAll(const char* text, bool absolute) {
        while (fits && *text != '\0') {
            const char* end = std::strchr(text, kSeparator);
            size_t count = end != nullptr ? static_cast<size_t>(end - text) : std::strlen(text);
            Add(text, count, absolute);
            text += count;
            if (*text == kSeparator) text++;
        }
    }
};

}  // namespace

bool CombinePath(char* out, size_t size, const char* root, const char* name) {
    // Room for at least the separator and the terminator.
    if (size < 2) return false;
    if (name[0] == kSeparator) root = "";
    const char* first = root[0] != '\0' ? root : name;
    bool absolute = first[0] == kSeparator;
    strPathBuilder builder = {out, size, 0, {}, 0, 0, true};
    if (absolute) out[builder.length++] = kSeparator;
    builder.AddAll(root, absolute);
    builder.AddAll(name, absolute);
    if (!builder.fits) return false;
    out[builder.length] = '\0';
    return true;
}

}  // namespace portavex

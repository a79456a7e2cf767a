// Joining the root directory and a name, as the file lookup does.
#include <gtest/gtest.h>

#include <string>

#include "Limits.h"
#include "Platform.h"

using namespace portavex;

namespace {

#if defined(_WIN32)
const char kSep = '\\';
#else
const char kSep = '/';
#endif

// Writes a path with '/' in the platform's separator.
std::string Native(std::string path) {
    for (char& c : path) {
        if (c == '/') c = kSep;
    }
    return path;
}

std::string Combine(const std::string& root, const std::string& name) {
    char out[kPathSize];
    if (!CombinePath(out, sizeof(out), Native(root).c_str(), name.c_str())) return "<failed>";
    return out;
}

}  // namespace

TEST(PathCombine, InsertsOneSeparator) {
    EXPECT_EQ(Native("/srv/www/index.html"), Combine("/srv/www", "index.html"));
    EXPECT_EQ(Native("/srv/www/index.html"), Combine("/srv/www/", "index.html"));
    EXPECT_EQ(Native("/srv/www/a/b.css"), Combine("/srv/www", "a/b.css"));
}

TEST(PathCombine, ResolvesDotSegmentsOfTheRoot) {
    EXPECT_EQ(Native("/srv/web/x"), Combine("/srv/www/../web", "x"));
    EXPECT_EQ(Native("/srv/www/x"), Combine("/srv/./www/.", "x"));
}

TEST(PathCombine, ResultLongerThanAPathFails) {
    EXPECT_EQ("<failed>", Combine("/srv", std::string(300, 'a')));
    std::string name(kPathSize - 6, 'a');  // "/srv/" and the name: 259 characters
    EXPECT_EQ(Native("/srv/") + name, Combine("/srv", name));
    EXPECT_EQ("<failed>", Combine("/srv", name + "a"));
}

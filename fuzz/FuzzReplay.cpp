// Runs a harness over every file of a seed corpus folder (the first
// argument), so that the harnesses and their seeds run in the normal test
// suite with any compiler. A failed check aborts the program.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzCheck.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
        std::printf("%s (%zu bytes)\n", entry.path().filename().string().c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        count++;
    }
    std::printf("%d inputs replayed\n", count);
    // An empty folder means the corpus went missing: that is a failure.
    return count > 0 ? 0 : 1;
}

#include "TempFolder.h"

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

// How long Write keeps trying to open a file that another handle holds.
constexpr int kWriteAttempts = 200;
constexpr std::chrono::milliseconds kWriteRetryPause(10);

}  // namespace

TempFolder::TempFolder(const std::filesystem::path& parent) {
    std::random_device seed;
    // A name taken by another test (of this or another program) is never
    // reused: create_directory fails for it and another name is drawn.
    do {
        path = parent / ("tesmo-test-" + std::to_string(seed()) + std::to_string(seed()));
    } while (!std::filesystem::create_directory(path));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name, const std::string& content) const {
    std::filesystem::path file = path / name;
    std::filesystem::create_directories(file.parent_path());
    // A server under test may still hold the file for a moment after its
    // answer has arrived, and Windows refuses to open a file that another
    // handle shares for reading only: try again for a short while, and fail
    // loudly rather than leave the old content in place.
    for (int attempt = 1;; ++attempt) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (out && out << content && out.flush()) return file;
        if (attempt == kWriteAttempts) throw std::runtime_error("cannot write " + file.string());
        std::this_thread::sleep_for(kWriteRetryPause);
    }
}

std::string TempFolder::Read(const std::string& name) const {
    std::ostringstream text;
    text << std::ifstream(path / name, std::ios::binary).rdbuf();
    return text.str();
}

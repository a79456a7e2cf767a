#include "TempFolder.h"

#include <fstream>
#include <random>
#include <sstream>

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
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    return file;
}

std::string TempFolder::Read(const std::string& name) const {
    std::ostringstream text;
    text << std::ifstream(path / name, std::ios::binary).rdbuf();
    return text.str();
}

// A fresh folder for a test's files, removed with everything in it when the
// test is done.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
  public:
    // A new folder with a name of its own inside parent.
    explicit TempFolder(
        const std::filesystem::path& parent = std::filesystem::temp_directory_path());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Writes content to the file at name inside the folder (creating the
    // folders on the way, replacing the file) and returns its path. A file
    // held open by another handle is tried again for up to two seconds;
    // throws std::runtime_error when it cannot be written.
    std::filesystem::path Write(const std::string& name, const std::string& content) const;
    // The content of the file at name inside the folder; "" when absent.
    std::string Read(const std::string& name) const;

  private:
    std::filesystem::path path;
};

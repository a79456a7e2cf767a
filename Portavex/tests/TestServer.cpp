#include "TestServer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#endif

strCallbackLog callbackLog;

namespace {

unsigned long Reply(char* results, unsigned long size, const std::string& text) {
    unsigned long length = static_cast<unsigned long>(std::min<size_t>(text.size(), size));
    std::memcpy(results, text.data(), length);
    return length;
}

void CountIn() {
    int now = ++callbackLog.inFlight;
    int most = callbackLog.mostInFlight;
    while (now > most && !callbackLog.mostInFlight.compare_exchange_weak(most, now)) {
    }
}

}  // namespace

eRequestResult ScriptedCallback(char* resource, char* parameters, char* results,
                                unsigned long* resultsLength, unsigned long resultsSize) {
    callbackLog.calls++;
    std::string name = resource;
    if (name.size() == 2 && name[0] == 'r') {
        *resultsLength = Reply(results, resultsSize, "{\"r\":" + name.substr(1) + "}");
        return static_cast<eRequestResult>(name[1] - '0');
    }
    if (name == "empty") return Ok;
    if (name == "big") {
        for (unsigned long i = 0; i < resultsSize; i++)
            results[i] = static_cast<char>('a' + i % 26);
        *resultsLength = resultsSize;
        return Ok;
    }
    if (name == "overlong") {
        *resultsLength = resultsSize + 1;
        return Ok;
    }
    if (name == "slow" || name == "block") {
        CountIn();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (name == "block" && !callbackLog.release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        callbackLog.inFlight--;
        if (name == "block") callbackLog.finished = true;
    }
    *resultsLength = Reply(results, resultsSize, name + "|" + parameters);
    return Ok;
}

TempFolder::TempFolder() {
    std::random_device seed;
    path = std::filesystem::temp_directory_path() /
           ("portavex-test-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path / "root");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name, const std::string& content) const {
    std::filesystem::path file = path / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

#if defined(_WIN32)

const char kTestClasses[] = "Software\\Classes\\";

std::string RegisteredType(const char* extension) {
    char type[64];
    DWORD size = sizeof(type);
    if (RegGetValueA(HKEY_CLASSES_ROOT, extension, "Content Type", RRF_RT_REG_SZ, nullptr, type,
                     &size) != ERROR_SUCCESS ||
        std::strlen(type) >= 32) {
        return "application/unknown";
    }
    return type;
}

// The classes root itself where the test may write to it (Wine does not
// merge the user's classes into it); the user's classes otherwise.
bool RegisterTestType(const char* extension, const char* type) {
    DWORD size = static_cast<DWORD>(std::strlen(type) + 1);
    if (RegSetKeyValueA(HKEY_CLASSES_ROOT, extension, "Content Type", REG_SZ, type, size) ==
        ERROR_SUCCESS) {
        return true;
    }
    std::string key = std::string(kTestClasses) + extension;
    return RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Content Type", REG_SZ, type, size) ==
           ERROR_SUCCESS;
}

void UnregisterTestType(const char* extension) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, extension);
    std::string key = std::string(kTestClasses) + extension;
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

std::string ShortFileName(const std::filesystem::path& file) {
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(file.string().c_str(), shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath)) return "";
    std::string name = std::filesystem::path(shortPath).filename().string();
    return name == file.filename().string() ? "" : name;
}

long OpenDescriptors() {
    return -1;
}

#else

long OpenDescriptors() {
    std::error_code error;
    long count = 0;
    for (std::filesystem::directory_iterator entry("/proc/self/fd", error), end;
         !error && entry != end; entry.increment(error)) {
        count++;
    }
    return error ? -1 : count;
}

std::string ShortFileName(const std::filesystem::path&) {
    return "";
}

std::string RegisteredType(const char* extension) {
    // Debian's media-types package, which the server reads.
    if (std::strcmp(extension, ".json") == 0) return "application/json";
    if (std::strcmp(extension, ".html") == 0) return "text/html";
    return "application/unknown";
}

bool RegisterTestType(const char*, const char*) {
    return false;
}

void UnregisterTestType(const char*) {}

#endif

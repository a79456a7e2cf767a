// A Portavex server on a free port with a scripted request callback and a
// temporary root directory, for the tests over real sockets.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "Portavex.h"

// What the scripted callback has seen.
struct strCallbackLog {
    std::atomic<int> calls{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    std::atomic<bool> release{false};   // lets "api/block" return
    std::atomic<bool> finished{false};  // "api/block" has returned
};
extern strCallbackLog callbackLog;

// The scripted callback, by resource:
//   echo        Ok, body "<resource>|<parameters>"
//   r<digit>    that result, body {"r":<digit>}
//   empty       Ok, no body
//   big         Ok, the whole results buffer
//   overlong    Ok with a length beyond the buffer
//   slow        Ok after 100 ms, counting concurrent calls
//   block       Ok once callbackLog.release is set
eRequestResult ScriptedCallback(char* resource, char* parameters, char* results,
                                unsigned long* resultsLength, unsigned long resultsSize);

constexpr unsigned long kTestResultsSize = 100000;

// A fresh folder below the system's temporary folder, removed at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& Path() const { return path; }
    std::filesystem::path Write(const std::string& name, const std::string& content) const;

  private:
    std::filesystem::path path;
};

// The content type the platform registers for extension, as the server
// must report it ("application/unknown" when none or too long).
std::string RegisteredType(const char* extension);

// The 8.3 short name of an existing file where the platform has one and it
// differs from the long name; empty otherwise.
std::string ShortFileName(const std::filesystem::path& file);

// The number of file descriptors the process holds where the platform lists
// them (Linux); -1 elsewhere.
long OpenDescriptors();

// Registers a content type for a test extension where the platform allows
// it (the registry of the current user on Windows); false elsewhere.
bool RegisterTestType(const char* extension, const char* type);
void UnregisterTestType(const char* extension);

// What tests need to know of the platform beyond sockets: the content types
// it registers, its 8.3 short names, the descriptors and heap memory a
// process holds, how often its threads have gone to sleep and which
// processors they may use.
#pragma once

#include <filesystem>
#include <string>

// The content type the platform registers for extension, as the HTTP server
// must report it ("application/unknown" when none or too long).
std::string RegisteredType(const char* extension);

// Registers a content type for a test extension where the platform allows
// it (the registry of the current user on Windows); false elsewhere.
bool RegisterTestType(const char* extension, const char* type);
void UnregisterTestType(const char* extension);

// The 8.3 short name of an existing file where the platform has one and it
// differs from the long name; empty otherwise.
std::string ShortFileName(const std::filesystem::path& file);

// The number of file descriptors the process holds where the platform lists
// them (Linux); -1 elsewhere.
long OpenDescriptors();

// Bytes the process's allocator has handed out and not had back, where it
// tells (glibc's mallinfo2, or the address sanitizer's allocator); -1
// elsewhere.
long long HeapInUse();

// How many blocks the calling thread has had from the allocator since the
// process first asked, where the allocator tells (the address sanitizer's);
// -1 elsewhere. Only the difference of two answers means anything.
long long ThreadAllocations();

// How many times the threads of the process that are alive now have given up
// the processor to wait (each wait that blocked counts once) where the
// platform counts it (Linux); -1 elsewhere.
long long ThreadWaits();

// Confines the calling thread, and every thread it or its new threads start
// from now on, to one processor where the platform lets a thread's choice
// pass to the threads it starts (Linux); false elsewhere. UnpinProcessor
// gives the calling thread back the processors it had before.
bool PinToOneProcessor();
void UnpinProcessor();

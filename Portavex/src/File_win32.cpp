// Files through Win32 handles; a file is known by its volume serial number
// and file index, which every spelling of its name (letter case, 8.3 short
// name, trailing dots) leads to.
#include <windows.h>

#include "Platform.h"

namespace portavex {

namespace {

// File times count 100-nanosecond units from 1601-01-01, 11,644,473,600
// seconds before 1970-01-01.
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr uint64_t kSecondsFrom1601To1970 = 11644473600;

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

strFileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information) {
    return {information.dwVolumeSerialNumber,
            Join(information.nFileIndexHigh, information.nFileIndexLow)};
}

strFileTime TimeOf(const FILETIME& written) {
    const uint64_t units = Join(written.dwHighDateTime, written.dwLowDateTime);
    return {static_cast<int64_t>(units / kFileTimeUnitsPerSecond) -
                static_cast<int64_t>(kSecondsFrom1601To1970),
            static_cast<uint32_t>(units % kFileTimeUnitsPerSecond)};
}

}  // namespace

bool FileOpen(const char* path, FileHandle* file) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return false;
    }
    *file = reinterpret_cast<FileHandle>(handle);
    return true;
}

// Identity, size and last write in one call.
bool FileVersion(FileHandle file, strFileVersion* version) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(Handle(file), &information)) return false;
    version->identity = IdentityOf(information);
    version->size = Join(information.nFileSizeHigh, information.nFileSizeLow);
    version->modified = TimeOf(information.ftLastWriteTime);
    return true;
}

bool FileIdentity(FileHandle file, strFileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(Handle(file), &information)) return false;
    *identity = IdentityOf(information);
    return true;
}

bool PathIdentity(const char* path, strFileIdentity* identity) {
    // Attributes only, shared in every way: an editor may replace or delete
    // the file meanwhile.
    HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool known = FileIdentity(reinterpret_cast<FileHandle>(handle), identity);
    CloseHandle(handle);
    return known;
}

bool FileRewind(FileHandle file) {
    LARGE_INTEGER start = {};
    return SetFilePointerEx(Handle(file), start, nullptr, FILE_BEGIN) != 0;
}

// The normalized name holds every folder and the file by its long name;
// without the volume no mount manager is asked.
bool FileStoredPath(FileHandle file, char* path, size_t size) {
    DWORD length = GetFinalPathNameByHandleA(Handle(file), path, static_cast<DWORD>(size),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_NONE);
    return length > 0 && length < size;
}

long FileRead(FileHandle file, char* buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(Handle(file), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    return static_cast<long>(got);
}

// Large pieces, each read and then sent, the header gathered with the
// first one.
bool FileSend(FileHandle file, uint64_t size, Socket s, const char* header, size_t headerLength,
              char* chunk, size_t chunkSize) {
    do {
        const size_t want = size < chunkSize ? static_cast<size_t>(size) : chunkSize;
        if (want > 0 && FileRead(file, chunk, want) != static_cast<long>(want)) return false;
        if (!SendGathered(s, header, headerLength, chunk, want, false)) return false;
        header = nullptr;
        headerLength = 0;
        size -= want;
    } while (size > 0);
    return true;
}

void FileClose(FileHandle file) {
    CloseHandle(Handle(file));
}

}  // namespace portavex

#include "StaticFile.h"

#include <cstring>
#include <string>

#include "FileName.h"
#include "Platform.h"
#include "TextCodec.h"

namespace portavex {

namespace {

// Extensions of the text files that may go gzip-coded, in lower case.
const char* const kTextExtensions[] = {".html", ".htm", ".json", ".css", ".js", ".svg", ".txt"};

const char* ExtensionOf(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return "";
    return dot;
}

// Whether extension is one of kTextExtensions in any letter case.
bool IsTextExtension(const char* extension) {
    for (const char* text : kTextExtensions) {
        size_t i = 0;
        while (text[i] != '\0' && AsciiLower(extension[i]) == text[i]) i++;
        if (text[i] == '\0' && extension[i] == '\0') return true;
    }
    return false;
}

// The gzip member of the next size bytes of file, read through chunk; empty
// when it would not be smaller than the file, null when the file cannot be
// read whole or the encoder gets no memory.
GzipMember CompressFile(FileHandle file, uint64_t size, char* chunk, GzipEncoder* gzip) {
    if (!gzip->Begin(static_cast<size_t>(size))) return nullptr;
    bool fits = true;
    for (uint64_t left = size; left > 0 && fits;) {
        const size_t want = left < kFileChunkSize ? static_cast<size_t>(left) : kFileChunkSize;
        if (FileRead(file, chunk, want) != static_cast<long>(want)) return nullptr;
        fits = gzip->Add(chunk, want);
        left -= want;
    }
    if (!fits || !gzip->Finish()) return std::make_shared<const std::string>();
    return std::make_shared<const std::string>(gzip->Data(), gzip->Length());
}

// The gzip member of the file as it is now, from the cache or made and
// stored there.
GzipMember CodedFile(GzipFileCache* cache, FileHandle file, uint64_t size, char* chunk,
                     GzipEncoder* gzip) {
    strFileVersion version;
    version.size = size;
    if (!FileIdentity(file, &version.identity) || !FileModifiedTime(file, &version.modified)) {
        return nullptr;
    }
    GzipMember member = cache->Find(version);
    if (member != nullptr) return member;
    member = CompressFile(file, size, chunk, gzip);
    cache->Store(version, member);
    return member;
}

// Sends the file as it is, from its first byte.
bool SendPlainFile(const strAnswerChannel& channel, FileHandle file, uint64_t size,
                   const char* extension, eBodyCoding coding, strFileBuffers* buffers) {
    const size_t headerLength =
        FormatHeader(channel.header, Ok, channel.origin, size, extension, coding);
    return FileSend(file, size, channel.socket, channel.header, headerLength, buffers->chunk,
                    kFileChunkSize);
}

bool SendFile(const strAnswerChannel& channel, const strFileRoot& root, FileHandle file,
              uint64_t size, const char* extension, strFileBuffers* buffers, GzipEncoder* gzip) {
    if (!IsTextExtension(extension)) {
        return SendPlainFile(channel, file, size, extension, CodingFixed, buffers);
    }
    if (gzip != nullptr && size > kGzipThreshold && size <= root.gzipLimit) {
        GzipMember member = CodedFile(root.gzipFiles, file, size, buffers->chunk, gzip);
        if (member != nullptr && !member->empty()) {
            return SendAnswer(channel, Ok, member->data(), member->size(), extension, CodingGzip);
        }
        if (!FileRewind(file)) return SendError(channel, ServiceError);
    }
    return SendPlainFile(channel, file, size, extension, CodingIdentity, buffers);
}

}  // namespace

bool ServeFile(const strAnswerChannel& channel, const strFileRoot& root, const char* resource,
               strFileBuffers* buffers, GzipEncoder* gzip) {
    if (root.rootDirectory[0] == '\0') return SendError(channel, NotImplemented);
    const char* name = resource;
    if (name[0] == '\0') {
        name = root.defaultDocument;
        if (name[0] == '\0') return SendError(channel, NotFound);
    } else if (!IsServableName(name)) {
        return SendError(channel, NotFound);
    }
    char* path = buffers->path;
    if (!CombinePath(path, kPathSize, root.rootDirectory, name)) {
        return SendError(channel, ServiceError);
    }
    FileHandle file;
    if (!FileOpen(path, &file)) return SendError(channel, NotFound);
    if (root.hidden->Hides(file, path)) {
        FileClose(file);
        return SendError(channel, NotFound);
    }
    uint64_t size;
    if (!FileSize(file, &size) || size >= kFileSizeLimit) {
        FileClose(file);
        return SendError(channel, ServiceError);
    }
    bool sent = SendFile(channel, root, file, size, ExtensionOf(path), buffers, gzip);
    FileClose(file);
    return sent;
}

}  // namespace portavex

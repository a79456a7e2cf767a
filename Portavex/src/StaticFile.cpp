#include "StaticFile.h"

#include <cstring>

#include "FileName.h"
#include "Platform.h"

namespace portavex {

namespace {

const char* ExtensionOf(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return "";
    return dot;
}

}  // namespace

bool ServeFile(const strAnswerChannel& channel, const strFileRoot& root, const char* resource,
               strFileBuffers* buffers) {
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
    const size_t headerLength = FormatHeader(channel, Ok, size, ExtensionOf(path));
    bool sent = FileSend(file, size, channel.socket, channel.header, headerLength, buffers->chunk,
                         kFileChunkSize);
    FileClose(file);
    return sent && KeepsConnection(channel, Ok);
}

}  // namespace portavex

#include "StaticFile.h"

#include <cstring>

#include "FileName.h"
#include "Platform.h"
#include "Validators.h"

namespace portavex {

namespace {

const char* ExtensionOf(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strpbrk(dot, "/\\") != nullptr) return "";
    return dot;
}

bool ReadValidators(FileHandle file, uint64_t size, strFileValidators* validators) {
    strFileIdentity identity;
    strFileTime modified;
    if (!FileIdentity(file, &identity) || !FileModified(file, &modified)) return false;
    MakeValidators(identity, size, modified, validators);
    return true;
}

bool SendNotModified(const strAnswerChannel& channel, const strFileValidators& validators) {
    CountAnswer(channel, NotModified);
    const size_t headerLength = FormatHeader(channel, NotModified, 0, "", validators.lines);
    return SendAll(channel.socket, channel.header, headerLength) &&
           KeepsConnection(channel, NotModified);
}

}  // namespace

bool ServeFile(const strAnswerChannel& channel, const strFileRoot& root, const strRequest& request,
               strFileBuffers* buffers) {
    if (root.rootDirectory[0] == '\0') return SendError(channel, NotImplemented);
    const char* name = request.resource;
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
    strFileValidators validators;
    if (!FileSize(file, &size) || size >= kFileSizeLimit ||
        !ReadValidators(file, size, &validators)) {
        FileClose(file);
        return SendError(channel, ServiceError);
    }
    if (IsCopyCurrent(validators, request.ifNoneMatch, request.ifModifiedSince)) {
        FileClose(file);
        return SendNotModified(channel, validators);
    }
    CountAnswer(channel, Ok);
    const size_t headerLength =
        FormatHeader(channel, Ok, size, ExtensionOf(path), validators.lines);
    bool sent = FileSend(file, size, channel.socket, channel.header, headerLength, buffers->chunk,
                         kFileChunkSize);
    FileClose(file);
    return sent && KeepsConnection(channel, Ok);
}

}  // namespace portavex

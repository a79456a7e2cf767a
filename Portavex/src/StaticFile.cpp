#include "StaticFile.h"

#include <cstring>
#include <string>

#include "FileName.h"
#include "Platform.h"
#include "Validators.h"

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
    const size_t length = std::strlen(extension);
    for (const char* text : kTextExtensions) {
        if (IsToken(extension, length, text)) return true;
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

// An open file to answer with, as it is now.
struct strOpenFile {
    FileHandle handle;
    strFileVersion version;
    const char* extension;
};

// How the file goes out: its coding, and the body when that is CodingGzip.
struct strFileCoding {
    eBodyCoding coding;
    GzipMember member;
};

// Chooses how file goes out to a request that allows gzip when gzip is not
// null, leaving the file at its first byte. False when it cannot be read.
bool ChooseCoding(const strFileRoot& root, const strOpenFile& file, strFileBuffers* buffers,
                  GzipEncoder* gzip, strFileCoding* choice) {
    const uint64_t size = file.version.size;
    choice->coding = IsTextExtension(file.extension) ? CodingIdentity : CodingFixed;
    if (choice->coding == CodingFixed || gzip == nullptr || size <= kGzipThreshold ||
        size > root.gzipLimit) {
        return true;
    }
    // From the cache, or made from the file and stored there.
    choice->member = root.gzipFiles->Find(file.version);
    const bool read = choice->member == nullptr;
    if (read) {
        choice->member = CompressFile(file.handle, size, buffers->chunk, gzip);
        root.gzipFiles->Store(file.version, choice->member);
    }
    if (choice->member != nullptr && !choice->member->empty()) {
        choice->coding = CodingGzip;
        return true;
    }
    return !read || FileRewind(file.handle);
}

// Sends the file's Ok answer as choice says; true when the connection stays
// open after it.
bool SendFile(const strAnswerChannel& channel, const strOpenFile& file, const strFileCoding& choice,
              const strFileValidators& validators, strFileBuffers* buffers) {
    if (choice.coding == CodingGzip) {
        return SendAnswer(channel, Ok, choice.member->data(), choice.member->size(), file.extension,
                          CodingGzip, validators.lines);
    }
    CountAnswer(channel, Ok);
    const size_t headerLength = FormatHeader(channel, Ok, file.version.size, file.extension,
                                             choice.coding, validators.lines);
    return FileSend(file.handle, file.version.size, channel.socket, channel.header, headerLength,
                    buffers->chunk, kFileChunkSize) &&
           KeepsConnection(channel, Ok);
}

// Answers request with file: "304 NOT MODIFIED" when the request's copy is
// the answer it would get, else that answer. True when the connection may
// stay open.
bool AnswerWithFile(const strAnswerChannel& channel, const strFileRoot& root,
                    const strRequest& request, const strOpenFile& file, strFileBuffers* buffers,
                    GzipEncoder* gzip) {
    strFileCoding choice;
    if (!ChooseCoding(root, file, buffers, gzip, &choice)) {
        return SendError(channel, ServiceError);
    }
    strFileValidators validators;
    MakeValidators(file.version, choice.coding == CodingGzip, &validators);
    if (IsCopyCurrent(validators, request.ifNoneMatch, request.ifModifiedSince)) {
        return SendAnswer(channel, NotModified, nullptr, 0, "", choice.coding, validators.lines);
    }
    return SendFile(channel, file, choice, validators, buffers);
}

}  // namespace

bool ServeFile(const strAnswerChannel& channel, const strFileRoot& root, const strRequest& request,
               strFileBuffers* buffers, GzipEncoder* gzip) {
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
    strOpenFile file;
    if (!FileOpen(path, &file.handle)) return SendError(channel, NotFound);
    const bool known = FileVersion(file.handle, &file.version);
    bool keep;
    if (known && root.hidden->Hides(file.handle, file.version.identity, path)) {
        keep = SendError(channel, NotFound);
    } else if (!known || file.version.size >= kFileSizeLimit) {
        keep = SendError(channel, ServiceError);
    } else {
        file.extension = ExtensionOf(path);
        keep = AnswerWithFile(channel, root, request, file, buffers, gzip);
    }
    FileClose(file.handle);
    return keep;
}

}  // namespace portavex

// Answering a request for a file of the root directory: the default document
// for the bare root, names that cannot leave the root, hidden files, the
// content type of the extension, and the file sent the way the platform
// sends files best.
#pragma once

#include "Compression.h"
#include "GzipFileCache.h"
#include "HiddenFiles.h"
#include "Limits.h"
#include "RequestParser.h"
#include "Response.h"

namespace portavex {

// Where files come from: rootDirectory ("" when the server serves no files)
// and defaultDocument ("" for none), the files that are never served, and
// where text files of at most gzipLimit bytes are kept gzip-coded.
struct strFileRoot {
    const char* rootDirectory;
    const char* defaultDocument;
    const HiddenFiles* hidden;
    GzipFileCache* gzipFiles;
    uint64_t gzipLimit;
};

// Working storage of a file answer: the combined path and one chunk of the
// file on its way to the socket.
struct strFileBuffers {
    char path[kPathSize];
    char chunk[kFileChunkSize];
};

// Answers the request for the file request.resource (the decoded path after
// the first "/"): the file with its validators, or "304 NOT MODIFIED" when
// the request's validators show that its copy is still the answer it would
// get. A text file (.html, .htm, .json, .css, .js, .svg, .txt) says that its
// coding depends on Accept-Encoding; one of more than kGzipThreshold bytes
// and at most root.gzipLimit goes gzip-coded through gzip, the connection's
// encoder, when the request allows it (gzip not null) and that makes it
// smaller; its entity tag then differs from that of the file as it is. True
// when the whole answer was sent and the connection may stay open.
bool ServeFile(const strAnswerChannel& channel, const strFileRoot& root, const strRequest& request,
               strFileBuffers* buffers, GzipEncoder* gzip);

}  // namespace portavex

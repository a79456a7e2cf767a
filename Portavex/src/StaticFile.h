// Answering a request for a file of the root directory: the default document
// for the bare root, names that cannot leave the root, hidden files, the
// content type of the extension, and the file sent the way the platform
// sends files best.
#pragma once

#include "HiddenFiles.h"
#include "Limits.h"
#include "RequestParser.h"
#include "Response.h"

namespace portavex {

// Where files come from: rootDirectory ("" when the server serves no files)
// and defaultDocument ("" for none), the files that are never served.
struct strFileRoot {
    const char* rootDirectory;
    const char* defaultDocument;
    const HiddenFiles* hidden;
};

// Working storage of a file answer: the combined path and one chunk of the
// file on its way to the socket.
struct strFileBuffers {
    char path[kPathSize];
    char chunk[kFileChunkSize];
};

// Answers the request for the file request.resource (the decoded path after
// the first "/"): the file with its validators, or "304 NOT MODIFIED" when
// the request's validators show that its copy is still the file. True when
// the whole answer was sent and the connection may stay open.
bool ServeFile(const strAnswerChannel& channel, const strFileRoot& root, const strRequest& request,
               strFileBuffers* buffers);

}  // namespace portavex

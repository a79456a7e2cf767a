#include "Response.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "Limits.h"
#include "Platform.h"

namespace portavex {

namespace {

const char* const kStatusLines[] = {
    "200 OK",          "400 BAD REQUEST",           "401 UNAUTHORIZED",
    "404 NOT FOUND",   "500 INTERNAL SERVER ERROR", "501 NOT IMPLEMENTED",
    "304 NOT MODIFIED"};
static_assert(sizeof(kStatusLines) / sizeof(kStatusLines[0]) == kAnswerStatusCount,
              "a status line for every answer");
const char kUnknownContentType[] = "application/unknown";

// The compiler checks every header format against its arguments.
#if defined(__MINGW32__)
#define HEADER_FORMAT __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#else
#define HEADER_FORMAT __attribute__((format(printf, 2, 3)))
#endif

// Appends formatted text at the tracked end of a fixed buffer.
struct strHeaderWriter {
    char* out;
    size_t length;

    void Add(const char* format, ...) HEADER_FORMAT {
        va_list args;
        va_start(args, format);
        int written = std::vsnprintf(out + length, kResponseHeaderSize - length, format, args);
        va_end(args);
        if (written < 0) return;
        length += static_cast<size_t>(written);
        if (length >= kResponseHeaderSize) length = kResponseHeaderSize - 1;
    }
};

// The status of a result as its status line states it ("200 OK" ... "501 NOT
// IMPLEMENTED").
const char* HttpStatus(eRequestResult result) {
    return kStatusLines[result];
}

// The content type for extension (dot included) into type (kContentTypeSize
// bytes): the registered one, or "application/unknown".
void ContentTypeFor(const char* extension, char* type) {
    if (std::strlen(extension) >= kExtensionSize || !FindContentType(extension, type)) {
        std::memcpy(type, kUnknownContentType, sizeof(kUnknownContentType));
    }
}

// FormatHeader with the content type given (read only when length > 0).
size_t FormatTypedHeader(const strAnswerChannel& channel, eRequestResult status, uint64_t length,
                         const char* contentType, eBodyCoding coding, const char* lines) {
    strHeaderWriter header = {channel.header, 0};
    header.Add("HTTP/1.1 %s\r\nX-Powered-By: %s\r\n", HttpStatus(status), kPoweredBy);
    if (length > 0) {
        header.Add("Content-Type: %s\r\nContent-Length: %" PRIu64 "\r\n", contentType, length);
    } else if (status == Ok) {
        header.Add("Content-Length: 0\r\n");
    }
    if (channel.origin) header.Add("Access-Control-Allow-Origin: *\r\n");
    if (coding == CodingGzip && length > 0) header.Add("Content-Encoding: gzip\r\n");
    // A body that could go coded varies, and so does the answer that stands
    // for one.
    if (coding != CodingFixed && (length > 0 || status == NotModified)) {
        header.Add("Vary: Accept-Encoding\r\n");
    }
    header.Add("%s", lines);
    if (!KeepsConnection(channel, status)) {
        header.Add("Connection: close\r\n");
    } else if (channel.fate == FateKeepAnnounced) {
        header.Add("Connection: keep-alive\r\n");
    }
    header.Add("\r\n");
    return header.length;
}

}  // namespace

bool IsKnownResult(int result) {
    return result >= Ok && result <= NotImplemented;
}

bool KeepsConnection(const strAnswerChannel& channel, eRequestResult status) {
    return (status == Ok || status == NotModified) && channel.fate != FateClose;
}

size_t FormatHeader(const strAnswerChannel& channel, eRequestResult status, uint64_t length,
                    const char* extension, eBodyCoding coding, const char* lines) {
    char type[kContentTypeSize] = "";
    if (length > 0) ContentTypeFor(extension, type);
    return FormatTypedHeader(channel, status, length, type, coding, lines);
}

void CountAnswer(const strAnswerChannel& channel, eRequestResult status) {
    if (channel.answerCounts != nullptr) {
        channel.answerCounts[status].fetch_add(1, std::memory_order_relaxed);
    }
}

bool SendAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                size_t length, const char* extension, eBodyCoding coding, const char* lines) {
    char type[kContentTypeSize] = "";
    if (length > 0) ContentTypeFor(extension, type);
    return SendTypedAnswer(channel, status, body, length, type, coding, lines);
}

bool SendTypedAnswer(const strAnswerChannel& channel, eRequestResult status, const char* body,
                     size_t length, const char* contentType, eBodyCoding coding,
                     const char* lines) {
    CountAnswer(channel, status);
    size_t headerLength = FormatTypedHeader(channel, status, length, contentType, coding, lines);
    return SendGathered(channel.socket, channel.header, headerLength, body, length, false) &&
           KeepsConnection(channel, status);
}

bool SendError(const strAnswerChannel& channel, eRequestResult status) {
    SendAnswer(channel, status, nullptr, 0, "");
    return false;
}

}  // namespace portavex

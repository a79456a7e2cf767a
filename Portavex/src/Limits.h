// Sizes and codes of the HTTP protocol as this server speaks it, in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace portavex {

// Bytes of a request's header block that the parser sees (request line and
// the header lines that fit); further header lines are read and dropped.
constexpr size_t kRequestViewSize = 2048;
// A header block longer than this is refused.
constexpr size_t kHeaderBlockLimit = 64 * 1024;
// Bytes taken from the socket per receive.
constexpr size_t kReceiveBufferSize = 4096;
// Characters of the parameter document (a terminator follows).
constexpr size_t kParameterDocumentCapacity = 2048;
// Cuts applied to parameter values, in characters (a character of UTF-8
// text takes up to 4 bytes; the cut never splits one). Numbers are ASCII.
constexpr size_t kStringValueCut = 50;
constexpr size_t kNumberValueCut = 20;
// Paths of files, with their terminator.
constexpr size_t kPathSize = 260;
// Longest path the file system reports for an open file, with its
// terminator.
constexpr size_t kStoredPathSize = 4096;
// Files that one server hides.
constexpr size_t kHiddenFileLimit = 8;
// A content type must be shorter than this to be used.
constexpr size_t kContentTypeSize = 32;
// A file extension with its dot must be shorter than this to be looked up.
constexpr size_t kExtensionSize = 8;
// Where a file passes through memory on its way to the socket, it goes in
// pieces of this size.
constexpr size_t kFileChunkSize = 64 * 1024;
// Files of this size or more are refused.
constexpr uint64_t kFileSizeLimit = 4ull * 1024 * 1024 * 1024;
// Bodies of this size or less go out as they are: coding them would save
// little and cost a round of zlib.
constexpr size_t kGzipThreshold = 1024;
// gzip-coded text files kept in memory for later requests, at most this
// many and this many bytes in all.
constexpr size_t kGzipCacheFiles = 32;
constexpr size_t kGzipCacheBytes = 16 * 1024 * 1024;
// A connection keeps its gzip coder (zlib's state, about 256 KB, and the
// coded answer's buffer) for this long while it waits for its next request,
// so that a client's burst of requests codes without allocating; then it
// gives the memory back, so that idle keep-alive connections hold none.
constexpr int kCoderKeepMilliseconds = 1000;
// The response header never exceeds this. Its longest lines, in the order
// they go out: the status line "HTTP/1.1 500 INTERNAL SERVER ERROR" (36
// bytes with CRLF), "X-Powered-By: QUELM" (21), Content-Type with a type
// of up to kContentTypeSize - 1 characters (47), Content-Length of 20 digits
// (38), "Access-Control-Allow-Origin: *" (32), "Content-Encoding: gzip" (24),
// "Vary: Accept-Encoding" (23), a file's validator lines (at most 151:
// Last-Modified 46, an ETag of 72 characters 80, "Cache-Control: no-cache"
// 25), "Connection: keep-alive" (24) and the empty line (2): 398 bytes.
constexpr size_t kResponseHeaderSize = 512;
constexpr int kDefaultIdleTimeoutSeconds = 60;
// Longest idle time-out: 30 days, so that the time-out in milliseconds
// still fits the 32-bit socket options of Windows.
constexpr int kMaxIdleTimeoutSeconds = 30 * 24 * 3600;
// When the server object goes away, answers already begun get this long to
// finish before their connections are shut down; connections waiting for a
// request close at once.
constexpr int kStopGraceMilliseconds = 3000;

// Before closing, a connection reads what the peer still sends for at most
// this long, so that unread bytes do not turn the close into a reset that
// could destroy the answer before the peer has read it.
constexpr int kLingerMilliseconds = 1000;

const char kVersionText[] = "1.5";
const char kPoweredBy[] = "QUELM";
const char kApiPrefix[] = "api/";
constexpr size_t kApiPrefixLength = sizeof(kApiPrefix) - 1;
// The path of the metrics answer, as the parser hands it over (no slash).
const char kMetricsPath[] = "metrics";
const char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace portavex

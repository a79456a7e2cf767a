#include "Compression.h"

#include <zlib.h>

#include <climits>
#include <new>

namespace portavex {

namespace {

// deflate's window bits with 16 added: a gzip header and trailer instead of
// the zlib ones.
constexpr int kGzipWindowBits = 15 + 16;
// zlib's default trade of memory against speed.
constexpr int kMemoryLevel = 8;
// zlib counts its buffers in unsigned int; longer input goes in steps.
constexpr size_t kDeflateStep = UINT_MAX;

}  // namespace

GzipEncoder::GzipEncoder() : stream(nullptr), capacity(0) {}

GzipEncoder::~GzipEncoder() {
    Release();
}

void GzipEncoder::Release() {
    output.reset();
    capacity = 0;
    if (stream == nullptr) return;
    deflateEnd(stream);
    delete stream;
    stream = nullptr;
}

bool GzipEncoder::Begin(size_t limit) {
    if (stream == nullptr) {
        stream = new (std::nothrow) z_stream();
        if (stream == nullptr) return false;
        if (deflateInit2(stream, Z_BEST_SPEED, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            delete stream;
            stream = nullptr;
            return false;
        }
    } else if (deflateReset(stream) != Z_OK) {
        return false;
    }
    if (limit > capacity) {
        output.reset(new (std::nothrow) char[limit]);
        capacity = output ? limit : 0;
        if (!output) return false;
    }
    stream->next_out = reinterpret_cast<Bytef*>(output.get());
    stream->avail_out = static_cast<uInt>(limit < kDeflateStep ? limit : kDeflateStep);
    return true;
}

bool GzipEncoder::Deflate(int flush) {
    for (;;) {
        int status = deflate(stream, flush);
        if (status == Z_STREAM_END) return true;
        if (status != Z_OK && status != Z_BUF_ERROR) return false;
        // Full before the end: at least the trailer is still to come.
        if (stream->avail_out == 0) return false;
        // Input used up; with Z_FINISH deflate goes on until it ends.
        if (flush == Z_NO_FLUSH && stream->avail_in == 0) return true;
    }
}

bool GzipEncoder::Add(const char* data, size_t length) {
    while (length > 0) {
        const size_t step = length < kDeflateStep ? length : kDeflateStep;
        stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream->avail_in = static_cast<uInt>(step);
        if (!Deflate(Z_NO_FLUSH)) return false;
        data += step;
        length -= step;
    }
    return true;
}

bool GzipEncoder::Finish() {
    stream->next_in = nullptr;
    stream->avail_in = 0;
    return Deflate(Z_FINISH);
}

bool GzipEncoder::Compress(const char* data, size_t length, size_t limit) {
    return Begin(limit) && Add(data, length) && Finish();
}

size_t GzipEncoder::Length() const {
    return static_cast<size_t>(stream->total_out);
}

}  // namespace portavex

// gzip bodies through zlib: deflate at its fastest level inside a gzip
// wrapper, into memory the encoder owns and keeps for its next body.
#pragma once

#include <cstddef>
#include <memory>

struct z_stream_s;

namespace portavex {

// One gzip encoder per connection: its zlib stream and output buffer are
// made on first use and reused by every later body until Release, so that a
// busy connection pays for them once. Not for use by two threads at once.
class GzipEncoder {
  public:
    GzipEncoder();
    ~GzipEncoder();
    GzipEncoder(const GzipEncoder&) = delete;
    GzipEncoder& operator=(const GzipEncoder&) = delete;

    // Starts a new gzip member of at most limit bytes. False when zlib or
    // the memory for it cannot be had.
    bool Begin(size_t limit);
    // Compresses the next length bytes of the body. False when the member
    // has outgrown its limit (zlib may hold output back, so Finish may be
    // the first to see it) or zlib fails; Begin starts over.
    bool Add(const char* data, size_t length);
    // Ends the member. False when it outgrows its limit.
    bool Finish();
    // Begin, Add and Finish for a body held whole.
    bool Compress(const char* data, size_t length, size_t limit);

    // The member after a successful Finish; valid until the next Begin or
    // Release.
    const char* Data() const { return output.get(); }
    size_t Length() const;

    // True while the encoder holds its zlib stream or output buffer.
    bool HoldsMemory() const { return stream != nullptr || output != nullptr; }
    // Gives the stream and the buffer back; the next Begin makes them again.
    void Release();

  private:
    // Feeds the pending input to deflate with flush; false when the output
    // is full before zlib is done or zlib fails.
    bool Deflate(int flush);

    z_stream_s* stream;              // null until the first Begin
    std::unique_ptr<char[]> output;  // the member being written
    size_t capacity;                 // bytes of output
};

}  // namespace portavex

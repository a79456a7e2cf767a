// Bounded reading of received bytes. A ByteView is a window on a message, a
// payload or one record inside it; every field read is checked against the
// window's end and gives 0 (or an empty text) outside it, so a wrong length
// can never make a reader look beyond what it received. The client reads the
// server's replies through it, the simulator its clients' requests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "TesmoProtocol.h"

namespace tesmo {

class ByteView {
  public:
    ByteView() = default;
    ByteView(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Size() const { return size_; }

    // True when width bytes starting at offset lie inside the window.
    bool Contains(std::size_t offset, std::size_t width) const {
        return offset <= size_ && width <= size_ - offset;
    }

    // The window of width bytes at offset; false when it does not fit.
    bool Sub(std::size_t offset, std::size_t width, ByteView* out) const {
        if (!Contains(offset, width)) return false;
        *out = ByteView(data_ + offset, width);
        return true;
    }

    std::uint8_t U8(std::size_t offset) const { return Contains(offset, 1) ? data_[offset] : 0; }
    std::int8_t I8(std::size_t offset) const { return static_cast<std::int8_t>(U8(offset)); }
    std::uint16_t U16(std::size_t offset) const {
        return Contains(offset, 2) ? LoadU16(data_ + offset) : 0;
    }
    std::int16_t I16(std::size_t offset) const {
        return Contains(offset, 2) ? LoadI16(data_ + offset) : 0;
    }
    std::uint32_t U32(std::size_t offset) const {
        return Contains(offset, 4) ? LoadU32(data_ + offset) : 0;
    }
    std::int32_t I32(std::size_t offset) const {
        return Contains(offset, 4) ? LoadI32(data_ + offset) : 0;
    }
    float F32(std::size_t offset) const {
        return Contains(offset, 4) ? LoadF32(data_ + offset) : 0.0f;
    }

    // Copies the text of the field [offset, offset + width) up to its NUL into
    // out, keeping at most outSize - 1 characters; out is always terminated.
    void Text(std::size_t offset, std::size_t width, char* out, std::size_t outSize) const {
        if (outSize == 0) return;
        std::size_t length = 0;
        if (Contains(offset, width)) {
            while (length < width && length + 1 < outSize && data_[offset + length] != 0) {
                out[length] = static_cast<char>(data_[offset + length]);
                ++length;
            }
        }
        out[length] = 0;
    }

  private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

// Walks a payload record by record from a position, refusing any record it
// is asked to read, or any run it is asked to skip, that would end beyond the
// payload. Runs of records nothing is read from may be stepped over even past
// the payload's end; the records after them then no longer fit.
class RecordCursor {
  public:
    explicit RecordCursor(ByteView payload, std::size_t position = 0)
        : payload_(payload), position_(position) {}

    // The next record of width bytes; false (and no move) when it does not fit.
    bool Next(std::size_t width, ByteView* record) {
        if (position_ > payload_.Size()) return false;
        if (!payload_.Sub(static_cast<std::size_t>(position_), width, record)) return false;
        position_ += width;
        return true;
    }

    // Steps over count records of width bytes; false (and no move) when they do not fit.
    bool Skip(std::uint64_t count, std::size_t width) {
        std::uint64_t bytes = count * width;
        if (count == 0) return true;
        if (bytes / count != width) return false;
        if (position_ > payload_.Size() || bytes > payload_.Size() - position_) return false;
        position_ += bytes;
        return true;
    }

    // Steps over count records of width bytes whether or not they were received.
    void StepOver(std::uint64_t count, std::size_t width) {
        std::uint64_t bytes = count * width;
        bool overflows = (count != 0 && bytes / count != width) || bytes > kEnd - position_;
        position_ = overflows ? kEnd : position_ + bytes;
    }

  private:
    static constexpr std::uint64_t kEnd = ~std::uint64_t{0};

    ByteView payload_;
    std::uint64_t position_;
};

}  // namespace tesmo

// Building server replies byte by byte. The layouts are written out here with
// their own literal offsets and sizes, independently of the library's
// constants, so that a wrong constant in the library shows up as a failure.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

class Bytes {
  public:
    Bytes& U8(std::uint8_t v) {
        data_.push_back(static_cast<char>(v));
        return *this;
    }
    Bytes& U16(std::uint16_t v) {
        return U8(static_cast<std::uint8_t>(v)).U8(static_cast<std::uint8_t>(v >> 8));
    }
    Bytes& I16(std::int16_t v) { return U16(static_cast<std::uint16_t>(v)); }
    Bytes& U32(std::uint32_t v) {
        return U16(static_cast<std::uint16_t>(v)).U16(static_cast<std::uint16_t>(v >> 16));
    }
    Bytes& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    Bytes& F32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return U32(bits);
    }
    // text in a field of width bytes, padded with NULs (not terminated when it fills the field)
    Bytes& Text(const std::string& text, std::size_t width) {
        std::string field = text.substr(0, width);
        field.resize(width, '\0');
        data_ += field;
        return *this;
    }
    Bytes& Zeros(std::size_t count) {
        data_.append(count, '\0');
        return *this;
    }
    Bytes& Append(const std::string& more) {
        data_ += more;
        return *this;
    }
    // four alarm levels after their flags byte: high-high, high, low, low-low
    Bytes& Levels(std::uint8_t flags, float highHigh, float high, float low, float lowLow) {
        return U8(flags).F32(highHigh).F32(high).F32(low).F32(lowLow);
    }

    const std::string& Str() const { return data_; }
    operator const std::string&() const { return data_; }
    std::size_t Size() const { return data_.size(); }

  private:
    std::string data_;
};

// Command codes as they appear on the wire.
constexpr std::uint32_t kWireLoginAccepted = 0x2AF52DEE;
constexpr std::uint32_t kWireLogin = 0x2AF52DF0;
constexpr std::uint32_t kWireCatalogue = 0x2AF52DF1;
constexpr std::uint32_t kWireTrendMapped = 0x2AF52DF2;
constexpr std::uint32_t kWireAnalisis = 0x2AF52DF3;
constexpr std::uint32_t kWireValues = 0x2AF52E01;
constexpr std::uint32_t kWireStamp = 0x2AF52E04;
constexpr std::uint32_t kWireKinds = 0x2AF52E06;
constexpr std::uint32_t kWireTrendUnmapped = 0x2AF52E07;

constexpr std::size_t kRequestHeaderSize = 14;
constexpr std::size_t kTrendRequestTotal = 31;
constexpr std::size_t kAnalisisRequestTotal = 28;
constexpr std::uint32_t kBufferLimit = 262240;

// A reply: the 14-byte header announcing `length` bytes, then the payload.
inline std::string MessageWithLength(std::uint32_t length, const std::string& payload) {
    return Bytes().U32(0x11111111).U16(0).U32(length).U32(0).Str() + payload;
}

inline std::string Message(const std::string& payload) {
    return MessageWithLength(static_cast<std::uint32_t>(payload.size()), payload);
}

inline std::string LoginReply(std::uint16_t version, std::uint32_t command = kWireLoginAccepted) {
    return Bytes().U32(command).U16(0).U16(version);
}

inline std::string StampReply(std::int32_t stamp) {
    return Message(Bytes().I32(stamp));
}

// A request header as the client must send it.
inline std::string RequestHeader(std::uint32_t command, std::uint16_t machine,
                                 std::uint32_t length) {
    return Bytes().U32(command).U16(machine).U32(length).U32(0);
}

// Little-endian fields of a request the client sent.
inline std::uint32_t FieldU32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return v;
}
inline std::uint16_t FieldU16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                      (static_cast<unsigned char>(bytes.at(at + 1)) << 8));
}

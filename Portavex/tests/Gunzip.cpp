#include "Gunzip.h"

#include <zlib.h>

namespace {

constexpr int kGzipWindowBits = 15 + 16;
constexpr size_t kPiece = 16384;

}  // namespace

bool Gunzip(const std::string& coded, std::string* decoded) {
    z_stream stream = {};
    if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(coded.data()));
    stream.avail_in = static_cast<uInt>(coded.size());
    decoded->clear();
    int status = Z_OK;
    char piece[kPiece];
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(piece);
        stream.avail_out = sizeof piece;
        status = inflate(&stream, Z_NO_FLUSH);
        decoded->append(piece, sizeof piece - stream.avail_out);
    }
    const bool whole = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return whole;
}

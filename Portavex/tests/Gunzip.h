// Decoding gzip bodies in tests, with zlib's inflate: the independent side
// of every check on what the server codes.
#pragma once

#include <string>

// The decoded bytes of one whole gzip member in coded; false when coded is
// not exactly one valid member (damaged, cut short, bytes after it).
bool Gunzip(const std::string& coded, std::string* decoded);

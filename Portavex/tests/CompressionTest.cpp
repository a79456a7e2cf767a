// The gzip encoder against zlib's own decoder, and the cache of coded files.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "Compression.h"
#include "Gunzip.h"
#include "GzipFileCache.h"
#include "Limits.h"

using namespace portavex;

namespace {

// JSON-like text of length bytes, as compressible as an answer.
std::string Text(size_t length) {
    std::string text;
    for (int i = 0; text.size() < length; i++) {
        text += "{\"time\":\"2026-12-09T17:" + std::to_string(i % 60) +
                ":00Z\",\"value\":" + std::to_string(i * 37 % 1000) + "},";
    }
    text.resize(length);
    return text;
}

std::string Noise(size_t length) {
    std::mt19937 random(7);
    std::string noise(length, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    return noise;
}

std::string Coded(const GzipEncoder& encoder) {
    return std::string(encoder.Data(), encoder.Length());
}

}  // namespace

TEST(GzipEncoder, BodiesOfEverySizeDecodeToThemselves) {
    GzipEncoder encoder;
    // One encoder for all: each body starts a fresh member.
    for (size_t length : {size_t{1}, size_t{1025}, size_t{65536}, size_t{1000000}}) {
        const std::string body = Text(length);
        ASSERT_TRUE(encoder.Compress(body.data(), body.size(), body.size() + 64)) << length;
        std::string decoded;
        ASSERT_TRUE(Gunzip(Coded(encoder), &decoded)) << length;
        EXPECT_TRUE(decoded == body) << length;
    }
}

TEST(GzipEncoder, PiecesMakeTheSameMemberAsTheWhole) {
    const std::string body = Text(200000);
    GzipEncoder whole;
    ASSERT_TRUE(whole.Compress(body.data(), body.size(), body.size()));
    GzipEncoder pieces;
    ASSERT_TRUE(pieces.Begin(body.size()));
    for (size_t at = 0; at < body.size(); at += kFileChunkSize) {
        ASSERT_TRUE(pieces.Add(body.data() + at, std::min(kFileChunkSize, body.size() - at)));
    }
    ASSERT_TRUE(pieces.Finish());
    EXPECT_EQ(Coded(whole), Coded(pieces));
}

TEST(GzipEncoder, MemberBeyondItsLimitFailsAndTheNextBodyIsWhole) {
    GzipEncoder encoder;
    const std::string noise = Noise(50000);
    EXPECT_FALSE(encoder.Compress(noise.data(), noise.size(), noise.size()));
    // Fails in Add already when the input is fed in pieces.
    ASSERT_TRUE(encoder.Begin(1000));
    EXPECT_FALSE(encoder.Add(noise.data(), noise.size()));
    const std::string body = Text(5000);
    ASSERT_TRUE(encoder.Compress(body.data(), body.size(), body.size()));
    std::string decoded;
    ASSERT_TRUE(Gunzip(Coded(encoder), &decoded));
    EXPECT_EQ(body, decoded);
}

// --- The cache of coded files ---------------------------------------------

namespace {

// modified: seconds of the modification time; fraction: its finer part.
strFileVersion Version(uint64_t index, uint64_t size = 100, int64_t modified = 1,
                       uint32_t fraction = 0) {
    return {{1, index}, size, {modified, fraction}};
}

GzipMember Member(size_t length, char fill = 'm') {
    return std::make_shared<const std::string>(length, fill);
}

}  // namespace

TEST(GzipFileCache, OnlyTheSameVersionOfAFileIsFound) {
    GzipFileCache cache;
    GzipMember member = Member(10);
    cache.Store(Version(1), member);
    EXPECT_EQ(member, cache.Find(Version(1)));
    EXPECT_EQ(nullptr, cache.Find(Version(2)));
    EXPECT_EQ(nullptr, cache.Find(Version(1, 101)));
    EXPECT_EQ(nullptr, cache.Find(Version(1, 100, 2)));
    EXPECT_EQ(nullptr, cache.Find(Version(1, 100, 1, 1)));  // a write in the same second
    EXPECT_EQ(nullptr, cache.Find({{2, 1}, 100, {1, 0}}));  // same index, other volume
    // A new version replaces the old one.
    GzipMember newer = Member(12);
    cache.Store(Version(1, 100, 2), newer);
    EXPECT_EQ(newer, cache.Find(Version(1, 100, 2)));
    EXPECT_EQ(nullptr, cache.Find(Version(1)));
}

TEST(GzipFileCache, TheFileUsedLongestAgoGoesFirst) {
    GzipFileCache cache;
    for (uint64_t i = 0; i < kGzipCacheFiles; i++) cache.Store(Version(i), Member(1));
    ASSERT_NE(nullptr, cache.Find(Version(0)));  // now 1 is the oldest
    cache.Store(Version(kGzipCacheFiles), Member(1));
    EXPECT_NE(nullptr, cache.Find(Version(0)));
    EXPECT_EQ(nullptr, cache.Find(Version(1)));
    EXPECT_NE(nullptr, cache.Find(Version(2)));
    EXPECT_NE(nullptr, cache.Find(Version(kGzipCacheFiles)));
}

TEST(GzipFileCache, BytesStayWithinTheBound) {
    GzipFileCache cache;
    const size_t half = kGzipCacheBytes / 2;
    cache.Store(Version(1), Member(half));
    cache.Store(Version(2), Member(half));
    EXPECT_NE(nullptr, cache.Find(Version(1)));
    cache.Store(Version(3), Member(1));
    EXPECT_EQ(nullptr, cache.Find(Version(2)));
    EXPECT_NE(nullptr, cache.Find(Version(1)));
    // Larger than the whole cache: not kept, and nothing else dropped for it.
    cache.Store(Version(4), Member(kGzipCacheBytes + 1));
    EXPECT_EQ(nullptr, cache.Find(Version(4)));
    EXPECT_NE(nullptr, cache.Find(Version(3)));
    // A member handed out outlives its entry.
    GzipMember held = cache.Find(Version(1));
    cache.Store(Version(5), Member(kGzipCacheBytes));
    EXPECT_EQ(nullptr, cache.Find(Version(1)));
    EXPECT_EQ(half, held->size());
}

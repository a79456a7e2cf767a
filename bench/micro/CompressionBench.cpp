// gzip on the largest answer a dashboard asks for: a raw trend of 20,000
// samples in the gateway's text, coded by the library's encoder (zlib at
// its fastest level) and by zlib with the other settings that trade size
// for speed, so that the cost of coding can be set beside the cost of the
// plain answer (bench/gzip). Each reports the bytes in per second and the
// coded size.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Compression.h"
#include "api/Times.h"

namespace {

constexpr int kSamples = 20000;
constexpr int32_t kFirstSampleTime = 1733616000;  // 2024-12-08T00:00:00Z
constexpr int32_t kSamplePeriod = 600;
// The gateway's results buffer, which bounds a coded answer too.
constexpr size_t kResultsSize = 1000000;
// deflateInit2's window bits for a gzip wrapper and for bare deflate.
constexpr int kGzipWindow = 15 + 16;
constexpr int kSmallGzipWindow = 10 + 16;
constexpr int kRawWindow = -15;

// The trend's text as the gateway writes it: times ten minutes apart and
// values of a vibration level that wanders by up to 0.05 between samples,
// written to six significant digits.
std::string TrendDocument() {
    std::string text = "[";
    uint32_t seed = 12345;
    double level = 2.8;
    char time[kTimeTextSize];
    char sample[96];
    for (int i = 0; i < kSamples; ++i) {
        seed = seed * 1103515245u + 12345u;
        level += static_cast<double>(static_cast<int>((seed >> 16) % 2001) - 1000) / 20000.0;
        FormatTime(kFirstSampleTime + kSamplePeriod * i, time);
        std::snprintf(sample, sizeof sample, "%s{\"time\":\"%s\",\"value\":%g}", i > 0 ? "," : "",
                      time, static_cast<float>(level));
        text += sample;
    }
    return text + "]";
}

const std::string& Document() {
    static const std::string document = TrendDocument();
    return document;
}

void Report(benchmark::State& state, size_t coded) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Document().size()));
    state.counters["plain_bytes"] = static_cast<double>(Document().size());
    state.counters["coded_bytes"] = static_cast<double>(coded);
}

// The connection's encoder, as an answer uses it.
void BM_GzipEncoder(benchmark::State& state) {
    portavex::GzipEncoder encoder;
    for (auto _ : state) {
        if (!encoder.Compress(Document().data(), Document().size(), kResultsSize)) {
            state.SkipWithError("the encoder failed");
            return;
        }
        benchmark::DoNotOptimize(encoder.Data());
    }
    Report(state, encoder.Length());
}
BENCHMARK(BM_GzipEncoder)->Unit(benchmark::kMillisecond);

// zlib with the arguments level, window bits, memory level and strategy.
void BM_Deflate(benchmark::State& state) {
    z_stream stream = {};
    if (deflateInit2(&stream, static_cast<int>(state.range(0)), Z_DEFLATED,
                     static_cast<int>(state.range(1)), static_cast<int>(state.range(2)),
                     static_cast<int>(state.range(3))) != Z_OK) {
        state.SkipWithError("deflateInit2 failed");
        return;
    }
    std::vector<unsigned char> out(deflateBound(&stream, Document().size()));
    size_t coded = 0;
    for (auto _ : state) {
        deflateReset(&stream);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Document().data()));
        stream.avail_in = static_cast<uInt>(Document().size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
            state.SkipWithError("deflate did not finish");
            break;
        }
        coded = stream.total_out;
        benchmark::DoNotOptimize(out.data());
    }
    deflateEnd(&stream);
    Report(state, coded);
}
BENCHMARK(BM_Deflate)
    ->ArgNames({"level", "window", "memory", "strategy"})
    ->Args({Z_BEST_SPEED, kGzipWindow, 8, Z_DEFAULT_STRATEGY})
    ->Args({Z_BEST_SPEED, kRawWindow, 8, Z_DEFAULT_STRATEGY})
    ->Args({Z_BEST_SPEED, kGzipWindow, 4, Z_DEFAULT_STRATEGY})
    ->Args({Z_BEST_SPEED, kSmallGzipWindow, 4, Z_DEFAULT_STRATEGY})
    ->Args({2, kGzipWindow, 8, Z_DEFAULT_STRATEGY})
    ->Args({Z_BEST_SPEED, kGzipWindow, 8, Z_RLE})
    ->Args({Z_BEST_SPEED, kGzipWindow, 8, Z_HUFFMAN_ONLY})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Trend and analysis replies as the client receives them. Input: a byte whose
// lowest bit picks the reply (0 trend, 1 analysis), then the payload. Checks
// that an accepted reply's length matches its count and that every value
// handed over lies in storage of that count.
#include <cstdint>
#include <cstring>

#include "ByteView.h"
#include "FuzzCheck.h"
#include "Values.h"

using namespace tesmo;

namespace {

void CheckTrend(ByteView reply) {
    strTimeValue* values = nullptr;
    int32_t count = -1;
    if (!ReadTrendReply(reply, &values, &count)) {
        FUZZ_CHECK(values == nullptr);
        return;
    }
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(reply.Size() ==
               kTrendSamplesOffset + static_cast<uint64_t>(count) * kTrendSampleSize);
    FUZZ_CHECK((values != nullptr) == (count > 0));
    // Every sample comes from its place in the reply.
    for (int32_t i = 0; i < count; ++i) {
        size_t at = kTrendSamplesOffset + static_cast<size_t>(i) * kTrendSampleSize;
        FUZZ_CHECK(values[i].time == reply.I32(at));
    }
    delete[] values;
}

void CheckAnalisis(ByteView reply) {
    strAnalisisData data{};
    float* values = nullptr;
    if (!ReadAnalisisReply(reply, &data, &values)) {
        FUZZ_CHECK(values == nullptr);
        return;
    }
    FUZZ_CHECK(data.count >= 0);
    FUZZ_CHECK(reply.Size() ==
               kAnalisisValuesOffset + static_cast<uint64_t>(data.count) * kAnalisisValueSize);
    FUZZ_CHECK((values != nullptr) == (data.count > 0));
    for (int32_t i = 0; i < data.count; ++i) {
        size_t at = kAnalisisValuesOffset + static_cast<size_t>(i) * kAnalisisValueSize;
        float expected = reply.F32(at);  // compared bit for bit: NaN is no exception
        FUZZ_CHECK(std::memcmp(&values[i], &expected, sizeof expected) == 0);
    }
    delete[] values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 1) return 0;
    ByteView reply(data + 1, size - 1);
    if ((data[0] & 1) == 0)
        CheckTrend(reply);
    else
        CheckAnalisis(reply);
    return 0;
}

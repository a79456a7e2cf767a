// Time texts through ParseTime, 32-bit times through FormatTime and integer
// texts through ScanInteger. Checks that a parsed time formats to a text that
// parses back to the same time, that every time from 1970 on formats to a
// 20-character text that parses back, and that integers read as the C
// library's strtoll reads them, clamped to 32 bits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "api/Times.h"
#include "text/IntegerText.h"

namespace {

void CheckFormatted(int32_t time) {
    char text[kTimeTextSize];
    std::memset(text, 'x', sizeof text);
    FormatTime(time, text);
    FUZZ_CHECK(std::strlen(text) == kTimeTextSize - 1);
    int32_t again = 0;
    if (time < 0) return;  // before 1970: written, but not accepted as input
    FUZZ_CHECK(ParseTime(text, &again));
    FUZZ_CHECK(again == time);
}

void CheckInteger(const char* text) {
    char* end = nullptr;
    long long expected = std::strtoll(text, &end, 10);
    if (expected > INT32_MAX) expected = INT32_MAX;
    if (expected < INT32_MIN) expected = INT32_MIN;
    int32_t value = 0;
    bool read = ScanInteger(text, &value);
    // Without digits strtoll reads nothing and ScanInteger fails.
    FUZZ_CHECK(read == (end != text));
    if (read) FUZZ_CHECK(value == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size >= sizeof(int32_t)) {
        uint32_t bits = 0;
        for (size_t i = 0; i < sizeof bits; i++) bits = bits << 8 | data[i];
        CheckFormatted(static_cast<int32_t>(bits));
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    const int32_t untouched = -7;
    CheckInteger(text.c_str());
    int32_t time = untouched;
    if (ParseTime(text.c_str(), &time)) {
        FUZZ_CHECK(time >= 0);
        CheckFormatted(time);
    } else {
        FUZZ_CHECK(time == untouched);
    }
    return 0;
}

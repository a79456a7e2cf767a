// The harnesses' own check: unlike assert it stays on in every build type, and
// it aborts so that libFuzzer (or the replay driver's test) reports the input.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzFail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : FuzzFail(#condition, __FILE__, __LINE__))

// The libFuzzer entry point every harness defines.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size);

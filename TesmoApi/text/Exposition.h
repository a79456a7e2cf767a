// The Prometheus text exposition format (version 0.0.4), written straight into
// a caller's buffer: families introduced by their HELP and TYPE lines, then
// one line per sample, "name{label="value",...} value". Nothing is allocated;
// label values are UTF-8 texts and are escaped here (backslash, double quote
// and line feed), so any text may be handed over.
#pragma once

#include <cstddef>
#include <cstdint>

// One label of a sample. Both texts must stay valid during the call only.
struct strLabel {
    const char* name;   // a valid label name, written as it is
    const char* value;  // UTF-8 text, escaped as it is written
};

// The text under construction: buffer[0, length) holds whole lines only
// while overflow is false. Once a piece does not fit, overflow is set and
// every later call writes nothing.
struct strExposition {
    char* buffer;     // the caller's
    size_t capacity;  // bytes buffer holds
    size_t length;    // bytes written
    bool overflow;    // a piece did not fit: the text is incomplete
};

// Significant digits of a number written from a double and from a float:
// enough to read either back unchanged.
constexpr int kDoubleDigits = 17;
constexpr int kFloatDigits = 9;

// A histogram's observations: counts per bucket (not cumulative), the last
// one for observations above the highest bound, and their sum.
struct strHistogram {
    const double* bounds;  // upper bounds, increasing; boundCount of them
    size_t boundCount;
    const uint64_t* counts;  // boundCount + 1 bucket counts
    double sum;
};

void ExpositionInit(strExposition* out, char* buffer, size_t capacity);

// "# HELP name help" and "# TYPE name type" ("counter", "gauge",
// "histogram"); help is escaped as the format asks (backslash, line feed).
void ExpositionFamily(strExposition* out, const char* name, const char* type, const char* help);

// A sample with an integer value.
void ExpositionCount(strExposition* out, const char* name, const strLabel* labels,
                     size_t labelCount, uint64_t value);

// A sample with a number written with digits significant digits; NaN and
// the infinities as the format spells them ("NaN", "+Inf", "-Inf").
void ExpositionNumber(strExposition* out, const char* name, const strLabel* labels,
                      size_t labelCount, double value, int digits);

// The samples of one histogram: name_bucket with the cumulative count of
// each bound and of "+Inf", then name_sum and name_count (the +Inf count).
void ExpositionHistogram(strExposition* out, const char* name, const strLabel* labels,
                         size_t labelCount, const strHistogram& histogram);

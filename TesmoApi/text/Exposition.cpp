#include "text/Exposition.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Room for a number's text: sign, 17 digits, point, exponent.
constexpr size_t kNumberTextSize = 32;

void Append(strExposition* out, const char* text, size_t length) {
    if (out->overflow) return;
    if (length > out->capacity - out->length) {
        out->overflow = true;
        return;
    }
    std::memcpy(out->buffer + out->length, text, length);
    out->length += length;
}

void AppendText(strExposition* out, const char* text) {
    Append(out, text, std::strlen(text));
}

// text with backslash and line feed escaped, and the double quote as well
// inside a label value.
void AppendEscaped(strExposition* out, const char* text, bool quote) {
    const char* run = text;
    for (const char* p = text; *p != '\0'; ++p) {
        const char* escape = nullptr;
        if (*p == '\\') escape = "\\\\";
        if (*p == '\n') escape = "\\n";
        if (*p == '"' && quote) escape = "\\\"";
        if (escape == nullptr) continue;
        Append(out, run, static_cast<size_t>(p - run));
        Append(out, escape, 2);
        run = p + 1;
    }
    AppendText(out, run);
}

// Digits below the most that the shortest text is looked for among: a bound
// of 0.005 reads "0.005", not "0.0050000000000000001".
constexpr int kShorterDigits = 3;

// Whether text reads back as value, as a float when digits are a float's.
bool ReadsBack(const char* text, double value, int digits) {
    const double read = std::strtod(text, nullptr);
    if (digits > kFloatDigits) return read == value;
    // A text rounded up beyond the largest float is no float's.
    const double largest = std::numeric_limits<float>::max();
    if (std::fabs(read) > largest || std::fabs(value) > largest) return false;
    return static_cast<float>(read) == static_cast<float>(value);
}

// The shortest text of value with at most digits significant digits that
// reads back as it.
void FormatNumber(double value, int digits, char* text) {
    if (std::isnan(value)) {
        std::snprintf(text, kNumberTextSize, "NaN");
        return;
    }
    if (std::isinf(value)) {
        std::snprintf(text, kNumberTextSize, "%s", value > 0 ? "+Inf" : "-Inf");
        return;
    }
    for (int precision = digits - kShorterDigits; precision <= digits; ++precision) {
        // A precision of 17 at most never fills the text.
        const int length = std::snprintf(text, kNumberTextSize, "%.*g", precision, value);
        if (length < 0 || precision == digits || ReadsBack(text, value, digits)) return;
    }
}

// name, suffix and the labels, the last one extra when it is not null, then
// the value text and the line's end.
void AppendSample(strExposition* out, const char* name, const char* suffix, const strLabel* labels,
                  size_t labelCount, const strLabel* extra, const char* value) {
    AppendText(out, name);
    AppendText(out, suffix);
    const size_t count = labelCount + (extra != nullptr ? 1 : 0);
    for (size_t i = 0; i < count; ++i) {
        const strLabel& label = i < labelCount ? labels[i] : *extra;
        Append(out, i == 0 ? "{" : ",", 1);
        AppendText(out, label.name);
        Append(out, "=\"", 2);
        AppendEscaped(out, label.value, true);
        Append(out, "\"", 1);
    }
    if (count > 0) Append(out, "}", 1);
    Append(out, " ", 1);
    AppendText(out, value);
    Append(out, "\n", 1);
}

}  // namespace

void ExpositionInit(strExposition* out, char* buffer, size_t capacity) {
    *out = {buffer, capacity, 0, false};
}

void ExpositionFamily(strExposition* out, const char* name, const char* type, const char* help) {
    AppendText(out, "# HELP ");
    AppendText(out, name);
    Append(out, " ", 1);
    AppendEscaped(out, help, false);
    AppendText(out, "\n# TYPE ");
    AppendText(out, name);
    Append(out, " ", 1);
    AppendText(out, type);
    Append(out, "\n", 1);
}

void ExpositionCount(strExposition* out, const char* name, const strLabel* labels,
                     size_t labelCount, uint64_t value) {
    char text[kNumberTextSize];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    AppendSample(out, name, "", labels, labelCount, nullptr, text);
}

void ExpositionNumber(strExposition* out, const char* name, const strLabel* labels,
                      size_t labelCount, double value, int digits) {
    char text[kNumberTextSize];
    FormatNumber(value, digits, text);
    AppendSample(out, name, "", labels, labelCount, nullptr, text);
}

void ExpositionHistogram(strExposition* out, const char* name, const strLabel* labels,
                         size_t labelCount, const strHistogram& histogram) {
    char bound[kNumberTextSize];
    char text[kNumberTextSize];
    uint64_t cumulative = 0;
    for (size_t i = 0; i <= histogram.boundCount; ++i) {
        cumulative += histogram.counts[i];
        const bool last = i == histogram.boundCount;
        FormatNumber(last ? HUGE_VAL : histogram.bounds[i], kDoubleDigits, bound);
        std::snprintf(text, sizeof text, "%" PRIu64, cumulative);
        const strLabel le = {"le", bound};
        AppendSample(out, name, "_bucket", labels, labelCount, &le, text);
    }
    FormatNumber(histogram.sum, kDoubleDigits, text);
    AppendSample(out, name, "_sum", labels, labelCount, nullptr, text);
    std::snprintf(text, sizeof text, "%" PRIu64, cumulative);
    AppendSample(out, name, "_count", labels, labelCount, nullptr, text);
}

#include "text/Exposition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr size_t kRoom = 4096;

// Writes with the writer into a buffer of capacity bytes.
struct strWritten {
    explicit strWritten(size_t capacity = kRoom) { ExpositionInit(&out, buffer, capacity); }
    std::string Text() const { return std::string(buffer, out.length); }
    char buffer[kRoom];
    strExposition out;
};

TEST(ExpositionTest, LabelValuesAndHelpAreEscapedAsTheFormatAsks) {
    struct strCase {
        const char* value;
        const char* label;  // as written between the label's quotes
        const char* help;   // as written after "# HELP m "
    };
    const strCase cases[] = {
        {"plain", "plain", "plain"},
        {"a\\b", "a\\\\b", "a\\\\b"},
        {"say \"hi\"", "say \\\"hi\\\"", "say \"hi\""},
        {"two\nlines", "two\\nlines", "two\\nlines"},
        {"\\\"\n", "\\\\\\\"\\n", "\\\\\"\\n"},
        {"Ventilación m³/h", "Ventilación m³/h", "Ventilación m³/h"},
        {"", "", ""},
    };
    for (const strCase& c : cases) {
        strWritten written;
        ExpositionFamily(&written.out, "m", "gauge", c.value);
        const strLabel label = {"l", c.value};
        ExpositionCount(&written.out, "m", &label, 1, 7);
        EXPECT_EQ(
            std::string("# HELP m ") + c.help + "\n# TYPE m gauge\nm{l=\"" + c.label + "\"} 7\n",
            written.Text())
            << c.value;
    }
}

TEST(ExpositionTest, NumbersReadBackAndSpecialValuesAreSpelledOut) {
    struct strCase {
        double value;
        int digits;
        const char* text;
    };
    const strCase cases[] = {
        {-1, kDoubleDigits, "-1"},
        {0.1, kDoubleDigits, "0.1"},
        {1.0 / 3, kDoubleDigits, "0.3333333333333333"},
        {1796838727.51, kDoubleDigits, "1796838727.51"},
        {6.2626204f, kFloatDigits, "6.2626204"},
        {0.1f, kFloatDigits, "0.1"},
        {std::numeric_limits<float>::max(), kFloatDigits, "3.40282347e+38"},
        {NAN, kDoubleDigits, "NaN"},
        {HUGE_VAL, kFloatDigits, "+Inf"},
        {-HUGE_VAL, kDoubleDigits, "-Inf"},
    };
    for (const strCase& c : cases) {
        strWritten written;
        ExpositionNumber(&written.out, "m", nullptr, 0, c.value, c.digits);
        EXPECT_EQ(std::string("m ") + c.text + "\n", written.Text()) << c.text;
    }
}

TEST(ExpositionTest, HistogramBucketsAreCumulativeAndEndAtInfinity) {
    const double bounds[] = {0.005, 1};
    const uint64_t counts[] = {2, 0, 3};
    const strHistogram histogram = {bounds, 2, counts, 4.5};
    const strLabel labels[] = {{"resource", "ident"}, {"x", "y"}};
    strWritten written;
    ExpositionHistogram(&written.out, "d_seconds", labels, 2, histogram);
    EXPECT_EQ(
        "d_seconds_bucket{resource=\"ident\",x=\"y\",le=\"0.005\"} 2\n"
        "d_seconds_bucket{resource=\"ident\",x=\"y\",le=\"1\"} 2\n"
        "d_seconds_bucket{resource=\"ident\",x=\"y\",le=\"+Inf\"} 5\n"
        "d_seconds_sum{resource=\"ident\",x=\"y\"} 4.5\n"
        "d_seconds_count{resource=\"ident\",x=\"y\"} 5\n",
        written.Text());
}

// A piece that does not fit ends the text: nothing of it or after it is
// written, and the writer says so.
TEST(ExpositionTest, TextThatDoesNotFitIsMarkedAndWritingStops) {
    const std::string line = "m{l=\"v\"} 18446744073709551615\n";
    const strLabel label = {"l", "v"};
    for (size_t capacity : {line.size(), line.size() - 1}) {
        strWritten written(capacity);
        ExpositionCount(&written.out, "m", &label, 1, UINT64_MAX);
        const bool fits = capacity == line.size();
        EXPECT_EQ(!fits, written.out.overflow) << capacity;
        if (fits) {
            EXPECT_EQ(line, written.Text());
        }
        const size_t before = written.out.length;
        ExpositionCount(&written.out, "n", nullptr, 0, 1);
        EXPECT_TRUE(written.out.overflow);
        EXPECT_LE(written.out.length, capacity);
        if (!fits) {
            EXPECT_EQ(before, written.out.length) << "nothing after the first miss";
        }
    }
}

}  // namespace

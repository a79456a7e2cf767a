#include "text/IntegerText.h"

#include <gtest/gtest.h>

namespace {

TEST(IntegerTextTest, ReadsLikeDecimalScanAndClamps) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"12", 12},
        {"12abc", 12},
        {"1.5", 1},
        {" \t-5", -5},
        {"+7", 7},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-99999999999999999999", INT32_MIN},
        {"99999999999999999999", INT32_MAX},
    };
    for (const Case& c : cases) {
        int32_t value = 99;
        EXPECT_TRUE(ScanInteger(c.text, &value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    for (const char* text : {"", "abc", "-", "+", " ", "- 5", ".5"}) {
        int32_t value = 99;
        EXPECT_FALSE(ScanInteger(text, &value)) << text;
        EXPECT_EQ(value, 99) << text;
    }
}

TEST(IntegerTextTest, ScanTextConvertsLikeSscanf) {
    int a = 0;
    int b = 0;
    EXPECT_EQ(ScanText("12 34", "%d %d", &a, &b), 2);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 34);
    EXPECT_EQ(ScanText("x", "%d", &a), 0);
    EXPECT_EQ(a, 12);
}

}  // namespace

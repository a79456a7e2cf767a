// Dates as HTTP writes them, and whether a client's copy of a file is still
// the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "Validators.h"

using namespace portavex;

namespace {

const struct {
    int64_t seconds;
    const char* date;
} kDates[] = {
    {0, "Thu, 01 Jan 1970 00:00:00 GMT"},          {784111777, "Sun, 06 Nov 1994 08:49:37 GMT"},
    {951782400, "Tue, 29 Feb 2000 00:00:00 GMT"},  {1709251199, "Thu, 29 Feb 2024 23:59:59 GMT"},
    {4102444799, "Thu, 31 Dec 2099 23:59:59 GMT"}, {253402300799, "Fri, 31 Dec 9999 23:59:59 GMT"},
};

TEST(HttpDate, WrittenAndReadBack) {
    for (const auto& d : kDates) {
        char written[kHttpDateSize];
        FormatHttpDate(d.seconds, written);
        EXPECT_STREQ(d.date, written);
        int64_t read = -1;
        EXPECT_TRUE(ParseHttpDate(d.date, &read)) << d.date;
        EXPECT_EQ(d.seconds, read) << d.date;
    }
}

TEST(HttpDate, TimesOutsideTheWritableRangeAreClamped) {
    char written[kHttpDateSize];
    FormatHttpDate(-1, written);
    EXPECT_STREQ("Thu, 01 Jan 1970 00:00:00 GMT", written);
    FormatHttpDate(INT64_MAX, written);
    EXPECT_STREQ("Fri, 31 Dec 9999 23:59:59 GMT", written);
}

// Each damages a good date in one place, or is another form of date.
TEST(HttpDate, DamagedDatesAreNotRead) {
    const char* damaged[] = {
        "",
        "Sun, 06 Nov 1994 08:49:37 GMT ",
        "Sun, 06 Nov 1994 08:49:37 GM",
        "Sun, 06 Nov 1994 08:49:37 UTC",
        "Sun 06 Nov 1994 08:49:37 GMT ",
        "Sun, 06 Nov 1994 08-49-37 GMT",
        "Sunday, 06-Nov-94 08:49:37 GMT",
        "Sun Nov  6 08:49:37 1994",
        "Xyz, 06 Nov 1994 08:49:37 GMT",
        "Sun, 06 nov 1994 08:49:37 GMT",
        "Sun, 06 Now 1994 08:49:37 GMT",
        "Sun, 0a Nov 1994 08:49:37 GMT",
        "Sun, -6 Nov 1994 08:49:37 GMT",
        "Sun, 00 Nov 1994 08:49:37 GMT",
        "Sun, 31 Nov 1994 08:49:37 GMT",
        "Mon, 29 Feb 2100 08:49:37 GMT",
        "Sun, 06 Nov 1994 24:00:00 GMT",
        "Sun, 06 Nov 1994 08:60:37 GMT",
        "Sun, 06 Nov 1994 08:49:60 GMT",
        "Wed, 31 Dec 1969 23:59:59 GMT",
    };
    for (const char* date : damaged) {
        int64_t read = 7;
        EXPECT_FALSE(ParseHttpDate(date, &read)) << date;
        EXPECT_EQ(7, read) << date;
    }
}

class CopyCurrent : public ::testing::Test {
  protected:
    void SetUp() override { MakeValidators({{1, 2}, 3, {784111777, 5}}, false, &validators); }
    strFileValidators validators;
};

TEST_F(CopyCurrent, ValidatorLinesNameTheDateAndTheTag) {
    EXPECT_STREQ("\"1-2-3-2ebc98a100000005\"", validators.entityTag);
    EXPECT_EQ(std::string("Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n") +
                  "ETag: \"1-2-3-2ebc98a100000005\"\r\nCache-Control: no-cache\r\n",
              validators.lines);
}

TEST_F(CopyCurrent, GzipCodedTagEndsInsideTheQuotes) {
    strFileValidators coded;
    MakeValidators({{1, 2}, 3, {784111777, 5}}, true, &coded);
    EXPECT_STREQ("\"1-2-3-2ebc98a100000005-gz\"", coded.entityTag);
    EXPECT_NE(nullptr, std::strstr(coded.lines, "ETag: \"1-2-3-2ebc98a100000005-gz\"\r\n"));
}

// Every part of the file's version is in its tag.
TEST_F(CopyCurrent, AnotherVersionHasAnotherTag) {
    strFileValidators others[5];
    MakeValidators({{9, 2}, 3, {784111777, 5}}, false, &others[0]);
    MakeValidators({{1, 9}, 3, {784111777, 5}}, false, &others[1]);
    MakeValidators({{1, 2}, 9, {784111777, 5}}, false, &others[2]);
    MakeValidators({{1, 2}, 3, {784111777, 9}}, false, &others[3]);
    // The gzip-coded answer of the same version is another representation.
    MakeValidators({{1, 2}, 3, {784111777, 5}}, true, &others[4]);
    for (const strFileValidators& other : others) {
        EXPECT_STRNE(validators.entityTag, other.entityTag);
        EXPECT_FALSE(IsCopyCurrent(other, validators.entityTag, nullptr)) << other.entityTag;
    }
}

TEST_F(CopyCurrent, RequestValidatorsDecide) {
    const char* tag = "\"1-2-3-2ebc98a100000005\"";
    const std::string weak = std::string("W/") + tag;
    const std::string list = std::string("\"x\",  ") + tag + " , \"y\"";
    const std::string unquoted = std::string(tag + 1, std::strlen(tag) - 2);
    const struct {
        const char* ifNoneMatch;
        const char* ifModifiedSince;
        bool current;
    } cases[] = {
        {nullptr, nullptr, false},
        {tag, nullptr, true},
        {weak.c_str(), nullptr, true},
        {list.c_str(), nullptr, true},
        {"*", nullptr, true},
        {"\"x\", *", nullptr, true},
        {"\"1-2-3-2ebc98a100000006\"", nullptr, false},
        {unquoted.c_str(), nullptr, false},
        {"w/\"1-2-3-2ebc98a100000005\"", nullptr, false},
        {"", nullptr, false},
        {nullptr, "Sun, 06 Nov 1994 08:49:37 GMT", true},
        {nullptr, "Sun, 06 Nov 1994 08:49:38 GMT", true},
        {nullptr, "Sun, 06 Nov 1994 08:49:36 GMT", false},
        {nullptr, "Sun, 06 Nov 1994 08:49:37 GMT; length=3", false},
        // A tag that does not match wins over a date that would.
        {"\"x\"", "Sun, 06 Nov 1994 08:49:37 GMT", false},
        {tag, "Sun, 06 Nov 1994 08:49:36 GMT", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.current, IsCopyCurrent(validators, c.ifNoneMatch, c.ifModifiedSince))
            << (c.ifNoneMatch ? c.ifNoneMatch : "-") << " / "
            << (c.ifModifiedSince ? c.ifModifiedSince : "-");
    }
}

}  // namespace

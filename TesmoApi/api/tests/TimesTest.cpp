#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "api/Times.h"

namespace {

std::string Format(int32_t time) {
    char text[kTimeTextSize];
    FormatTime(time, text);
    return text;
}

// The time a text parses to, or the marker when it does not parse.
constexpr int32_t kUnparsed = -123456;
int32_t Parse(const char* text) {
    int32_t time = kUnparsed;
    const bool parsed = ParseTime(text, &time);
    EXPECT_EQ(parsed, time != kUnparsed) << text;
    return time;
}

TEST(TimeTextTest, ParsesAndFormatsTheSameInstant) {
    EXPECT_EQ(Parse("2022-04-25T10:30:00Z"), 1650882600);
    EXPECT_EQ(Format(1650882600), "2022-04-25T10:30:00Z");
    EXPECT_EQ(Format(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(Parse("1970-01-01T00:00:00Z"), 0);
}

TEST(TimeTextTest, ReadsFieldsLikeDecimalScans) {
    const int32_t expected = Parse("2022-04-05T01:02:03Z");
    EXPECT_EQ(Parse("2022-4-5T1:2:3Z"), expected);
    EXPECT_EQ(Parse("2022-04-05T01:02:03"), expected);
    EXPECT_EQ(Parse("2022-04-05T01:02:03Zanything"), expected);
    EXPECT_EQ(Parse(" 2022-+4-\t5T 01:0002:+3Z"), expected);
    EXPECT_EQ(Parse("2022-04-05 01:02:03Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-04-05t01:02:03Z"), kUnparsed);
    EXPECT_EQ(Parse("2022/04/05T01:02:03Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-04-05T01:02:Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-04-05T01:02"), kUnparsed);
    EXPECT_EQ(Parse(""), kUnparsed);
    EXPECT_EQ(Parse("99999999999-04-05T01:02:03Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-04-05T01:02:-99999999999Z"), kUnparsed);
}

TEST(TimeTextTest, KeepsToItsRanges) {
    EXPECT_EQ(Parse("1969-12-31T23:59:59Z"), kUnparsed);
    EXPECT_EQ(Parse("2039-01-01T00:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2038-01-19T03:14:07Z"), INT32_MAX);
    EXPECT_EQ(Parse("2038-01-19T03:14:08Z"), kUnparsed);
    EXPECT_EQ(Parse("2038-12-31T00:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-00-10T00:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-13-10T00:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-01-00T00:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-01-32T00:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-01-10T24:00:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-01-10T00:60:00Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-01-10T00:00:60Z"), kUnparsed);
    EXPECT_EQ(Parse("2022-01-10T-1:00:00Z"), kUnparsed);
}

TEST(TimeTextTest, DaysPastTheMonthRollOver) {
    EXPECT_EQ(Parse("2022-02-30T00:00:00Z"), Parse("2022-03-02T00:00:00Z"));
    EXPECT_EQ(Parse("2024-02-30T00:00:00Z"), Parse("2024-03-01T00:00:00Z"));
    EXPECT_EQ(Parse("2022-04-31T12:00:00Z"), Parse("2022-05-01T12:00:00Z"));
    EXPECT_EQ(Parse("2037-12-31T23:59:59Z"), Parse("2038-01-01T00:00:00Z") - 1);
    EXPECT_EQ(Format(Parse("2022-02-30T00:00:00Z")), "2022-03-02T00:00:00Z");
}

TEST(TimeTextTest, FormatsEveryThirtyTwoBitTime) {
    EXPECT_EQ(Format(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(Format(-86400), "1969-12-31T00:00:00Z");
    EXPECT_EQ(Format(INT32_MIN), "1901-12-13T20:45:52Z");
    EXPECT_EQ(Format(INT32_MAX), "2038-01-19T03:14:07Z");
    EXPECT_EQ(Format(951782400), "2000-02-29T00:00:00Z");
}

// Reference calendar: counts whole years and months forward from 1970.
bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

int64_t DaysBeforeYear(int year) {
    int64_t days = 0;
    for (int y = 1970; y < year; ++y) days += IsLeap(y) ? 366 : 365;
    for (int y = year; y < 1970; ++y) days -= IsLeap(y) ? 366 : 365;
    return days;
}

// Walks every day of year, checking both directions at a different time of
// day each day.
void CheckWholeYear(int year, bool parse) {
    int64_t day = DaysBeforeYear(year);
    int checked = 0;
    for (int month = 1; month <= 12; ++month) {
        for (int dayOfMonth = 1; dayOfMonth <= DaysInMonth(year, month); ++dayOfMonth, ++day) {
            const int secondOfDay = (checked * 3607) % 86400;
            const int64_t time = day * 86400 + secondOfDay;
            char text[64];
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month,
                          dayOfMonth, secondOfDay / 3600, secondOfDay % 3600 / 60,
                          secondOfDay % 60);
            if (time < INT32_MIN || time > INT32_MAX) continue;
            ++checked;
            EXPECT_EQ(Format(static_cast<int32_t>(time)), text);
            if (parse) {
                EXPECT_EQ(Parse(text), time) << text;
            }
        }
    }
    EXPECT_GT(checked, 0);
    EXPECT_EQ(DaysBeforeYear(year + 1) - DaysBeforeYear(year), IsLeap(year) ? 366 : 365);
}

TEST(TimeTextTest, AgreesWithACountedCalendarOnEveryDay) {
    for (int year : {1970, 1972, 1999, 2000, 2022, 2023, 2024, 2037}) {
        SCOPED_TRACE(year);
        CheckWholeYear(year, true);
    }
    for (int year : {1904, 1969}) {
        SCOPED_TRACE(year);
        CheckWholeYear(year, false);
    }
}

TEST(TimeTextTest, FormatsOnManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            const int32_t time = 86400 * 365 * (t + 1);
            const std::string expected = Format(time);
            for (int i = 0; i < 20000; ++i) {
                if (Format(time) != expected) ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
    EXPECT_EQ(Format(86400 * 365), "1971-01-01T00:00:00Z");
}

}  // namespace

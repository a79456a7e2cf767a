// Points in time as UTC text, with the calendar arithmetic done here rather
// than by the platform's runtime: the same results on every platform, no
// shared state, and a defined answer for every 32-bit time.
#include "api/Times.h"

#include "text/IntegerText.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
constexpr int kDaysPer400Years = 146097;
// Days from 0000-03-01 to 1970-01-01 in the proleptic Gregorian calendar.
constexpr int64_t kEpochShift = 719468;

struct strCivilDate {
    int64_t year;
    int month;  // 1..12
    int day;    // 1..31
};

int64_t FloorDivide(int64_t value, int64_t divisor) {
    return value >= 0 ? value / divisor : (value - divisor + 1) / divisor;
}

// Days since 1970-01-01 of a date. Years are counted from March so that the
// leap day falls at the end of a year; a day past the end of its month simply
// counts on into the next month.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    if (month <= 2) --year;
    const int64_t era = FloorDivide(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kDaysPer400Years + dayOfEra - kEpochShift;
}

strCivilDate CivilFromDays(int64_t days) {
    days += kEpochShift;
    const int64_t era = FloorDivide(days, kDaysPer400Years);
    const int64_t dayOfEra = days - era * kDaysPer400Years;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    strCivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    date.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

// Reads one field and the separator after it ('\0' for none).
bool ReadField(const char** text, char separator, int32_t* value) {
    if (!ReadInteger(text, value)) return false;
    if (separator == 0) return true;
    if (**text != separator) return false;
    ++*text;
    return true;
}

// Writes value with exactly width decimal digits, then the separator, and
// returns the position after it.
char* PutDigits(char* out, int value, int width, char separator) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out[width] = separator;
    return out + width + 1;
}

bool InRange(int32_t value, int32_t low, int32_t high) {
    return value >= low && value <= high;
}

}  // namespace

bool ParseTime(const char* text, int32_t* time) {
    int32_t year, month, day, hour, minute, second;
    if (!ReadField(&text, '-', &year) || !ReadField(&text, '-', &month) ||
        !ReadField(&text, 'T', &day) || !ReadField(&text, ':', &hour) ||
        !ReadField(&text, ':', &minute) || !ReadField(&text, 0, &second)) {
        return false;
    }
    if (!InRange(year, kFirstYear, kLastYear) || !InRange(month, 1, 12) || !InRange(day, 1, 31) ||
        !InRange(hour, 0, 23) || !InRange(minute, 0, 59) || !InRange(second, 0, 59)) {
        return false;
    }
    const int64_t seconds = (DaysFromCivil(year, month, 1) + day - 1) * kSecondsPerDay +
                            hour * kSecondsPerHour + minute * kSecondsPerMinute + second;
    if (seconds > INT32_MAX) return false;
    *time = static_cast<int32_t>(seconds);
    return true;
}

void FormatTime(int32_t time, char* text) {
    const int64_t days = FloorDivide(time, kSecondsPerDay);
    const int secondOfDay = static_cast<int>(time - days * kSecondsPerDay);
    const strCivilDate date = CivilFromDays(days);
    // Every 32-bit time falls in the years 1901 to 2038, so each field has
    // exactly its width.
    char* p = text;
    p = PutDigits(p, static_cast<int>(date.year), 4, '-');
    p = PutDigits(p, date.month, 2, '-');
    p = PutDigits(p, date.day, 2, 'T');
    p = PutDigits(p, secondOfDay / kSecondsPerHour, 2, ':');
    p = PutDigits(p, secondOfDay % kSecondsPerHour / kSecondsPerMinute, 2, ':');
    p = PutDigits(p, secondOfDay % kSecondsPerMinute, 2, 'Z');
    *p = 0;
}

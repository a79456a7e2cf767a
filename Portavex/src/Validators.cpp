#include "Validators.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "RequestParser.h"

namespace portavex {

namespace {

const char kDayNames[][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char kMonthNames[][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kDaysPerWeek = 7;
constexpr int kMonthsPerYear = 12;
// 1970-01-01 was a Thursday.
constexpr int64_t kEpochWeekday = 4;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int kHoursPerDay = 24;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
// 9999-12-31 23:59:59, the last time an IMF-fixdate can write.
constexpr int64_t kLastWritableSecond = 253402300799;
// The date's fixed form, "Sun, 06 Nov 1994 08:49:37 GMT": lower-case letters
// stand for the variable characters.
const char kDatePattern[] = "www, dd mmm yyyy hh:mm:ss GMT";
// Dates before this year are earlier than any file's time anyway.
constexpr int kFirstYear = 1970;
constexpr size_t kDateLength = sizeof(kDatePattern) - 1;
static_assert(kDateLength + 1 == kHttpDateSize, "room for a date");
// Where the variable parts stand in it, and their lengths.
constexpr size_t kWeekdayAt = 0;
constexpr size_t kDayAt = 5;
constexpr size_t kMonthAt = 8;
constexpr size_t kYearAt = 12;
constexpr size_t kHourAt = 17;
constexpr size_t kMinuteAt = 20;
constexpr size_t kSecondAt = 23;
constexpr size_t kNameLength = 3;
constexpr size_t kYearDigits = 4;
constexpr size_t kFieldDigits = 2;
// Days from 0000-03-01 to 1970-01-01 in the proleptic Gregorian calendar,
// whose 400-year eras hold 146,097 days.
constexpr int64_t kEpochShift = 719468;
constexpr int64_t kDaysPerEra = 146097;
const char kWeakPrefix[] = "W/";
constexpr size_t kWeakPrefixLength = sizeof(kWeakPrefix) - 1;

struct strCivilDate {
    int64_t year;
    int month;  // 1 to 12
    int day;    // 1 to 31
};

// Days since 1970-01-01 of a date of year kFirstYear or later; the day may
// run past the end of its month and carry over.
int64_t DaysFromCivil(const strCivilDate& date) {
    const int64_t year = date.year - (date.month <= 2 ? 1 : 0);
    const int64_t era = year / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t monthFromMarch = date.month > 2 ? date.month - 3 : date.month + 9;
    const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + date.day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kDaysPerEra + dayOfEra - kEpochShift;
}

// The date of a day since 1970-01-01 (not negative).
strCivilDate CivilFromDays(int64_t days) {
    days += kEpochShift;
    const int64_t era = days / kDaysPerEra;
    const int64_t dayOfEra = days - era * kDaysPerEra;
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

// The number of count decimal digits at text; -1 when one is not a digit.
int DigitsAt(const char* text, size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; i++) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Writes value (not negative) as count decimal digits at out.
void PutDigits(char* out, int64_t value, size_t count) {
    for (size_t i = count; i > 0; i--) {
        out[i - 1] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// The index of the three-letter name at text in names; -1 when absent.
int NameAt(const char* text, const char (*names)[kNameLength + 1], int count) {
    for (int i = 0; i < count; i++) {
        if (std::strncmp(text, names[i], kNameLength) == 0) return i;
    }
    return -1;
}

// Whether text has the length of the date's form and its fixed characters.
bool HasDateShape(const char* text) {
    if (std::strlen(text) != kDateLength) return false;
    for (size_t i = 0; i < kDateLength; i++) {
        const char c = kDatePattern[i];
        if (!(c >= 'a' && c <= 'z') && text[i] != c) return false;
    }
    return true;
}

bool MatchesEntityTag(const strFileValidators& validators, const char* list) {
    const size_t tagLength = std::strlen(validators.entityTag);
    size_t length;
    for (const char* tag; (tag = NextListElement(&list, &length)) != nullptr;) {
        if (length == 1 && tag[0] == '*') return true;
        if (length > kWeakPrefixLength && std::strncmp(tag, kWeakPrefix, kWeakPrefixLength) == 0) {
            tag += kWeakPrefixLength;
            length -= kWeakPrefixLength;
        }
        if (length == tagLength && std::strncmp(tag, validators.entityTag, length) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void FormatHttpDate(int64_t seconds, char* out) {
    if (seconds < 0) seconds = 0;
    if (seconds > kLastWritableSecond) seconds = kLastWritableSecond;
    const int64_t days = seconds / kSecondsPerDay;
    const int64_t inDay = seconds % kSecondsPerDay;
    const strCivilDate date = CivilFromDays(days);
    std::memcpy(out, kDatePattern, kHttpDateSize);
    std::memcpy(out + kWeekdayAt, kDayNames[(days + kEpochWeekday) % kDaysPerWeek], kNameLength);
    PutDigits(out + kDayAt, date.day, kFieldDigits);
    std::memcpy(out + kMonthAt, kMonthNames[date.month - 1], kNameLength);
    PutDigits(out + kYearAt, date.year, kYearDigits);
    PutDigits(out + kHourAt, inDay / kSecondsPerHour, kFieldDigits);
    PutDigits(out + kMinuteAt, inDay % kSecondsPerHour / kSecondsPerMinute, kFieldDigits);
    PutDigits(out + kSecondAt, inDay % kSecondsPerMinute, kFieldDigits);
}

bool ParseHttpDate(const char* text, int64_t* seconds) {
    if (!HasDateShape(text) || NameAt(text + kWeekdayAt, kDayNames, kDaysPerWeek) < 0) {
        return false;
    }
    strCivilDate date;
    date.day = DigitsAt(text + kDayAt, kFieldDigits);
    date.month = NameAt(text + kMonthAt, kMonthNames, kMonthsPerYear) + 1;
    date.year = DigitsAt(text + kYearAt, kYearDigits);
    const int hour = DigitsAt(text + kHourAt, kFieldDigits);
    const int minute = DigitsAt(text + kMinuteAt, kFieldDigits);
    const int second = DigitsAt(text + kSecondAt, kFieldDigits);
    if (date.day < 1 || date.month < 1 || date.year < kFirstYear || hour < 0 ||
        hour >= kHoursPerDay || minute < 0 || minute >= kSecondsPerMinute || second < 0 ||
        second >= kSecondsPerMinute) {
        return false;
    }
    const int64_t days = DaysFromCivil(date);
    // A day past the end of its month carries over into another date.
    const strCivilDate again = CivilFromDays(days);
    if (again.day != date.day || again.month != date.month) return false;
    *seconds = days * kSecondsPerDay + hour * kSecondsPerHour + minute * kSecondsPerMinute + second;
    return true;
}

void MakeValidators(const strFileVersion& version, bool gzipCoded, strFileValidators* validators) {
    const strFileIdentity& identity = version.identity;
    const strFileTime& modified = version.modified;
    validators->modifiedSeconds = modified.seconds;
    std::snprintf(validators->entityTag, kEntityTagSize,
                  "\"%" PRIx64 "-%" PRIx64 "-%" PRIx64 "-%" PRIx64 "%s\"", identity.volume,
                  identity.index, version.size,
                  static_cast<uint64_t>(modified.seconds) << 32 | modified.fraction,
                  gzipCoded ? kGzipTagSuffix : "");
    char date[kHttpDateSize];
    FormatHttpDate(modified.seconds, date);
    std::snprintf(validators->lines, kValidatorLinesSize,
                  "Last-Modified: %s\r\nETag: %s\r\nCache-Control: no-cache\r\n", date,
                  validators->entityTag);
}

bool IsCopyCurrent(const strFileValidators& validators, const char* ifNoneMatch,
                   const char* ifModifiedSince) {
    if (ifNoneMatch != nullptr) return MatchesEntityTag(validators, ifNoneMatch);
    int64_t since;
    return ifModifiedSince != nullptr && ParseHttpDate(ifModifiedSince, &since) &&
           validators.modifiedSeconds <= since;
}

}  // namespace portavex

// Dates and times in the formats of the logs.
#include "sys/DateFormat.h"

#include <cmath>
#include <cstdint>

#include "sys/LSUB.h"
#include "sys/Utils.h"

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Day number of 1 January 1970 (days since 30 December 1899).
constexpr int64_t kUnixEpochDay = 25569;

// Days since 1 January 1970 to a proleptic Gregorian date (H. Hinnant's
// civil_from_days).
void CivilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string Two(int n) { return PadLeft(n, 2); }

std::string TimeText(const TDateTimeParts& dt, const std::string& sep)
{
    return Two(dt.hour) + sep + Two(dt.minute) + sep + Two(dt.second);
}

}  // namespace

int64_t DateToDayCount(int year, int month, int day)
{
    if (month < 1 || month > 12) month = 1;
    return DaysFromCivil(year, month, day) + kUnixEpochDay;
}

TDateTimeParts DayNumberToDateTime(double dayNumber)
{
    if (!(dayNumber >= 0)) dayNumber = 0;  // NaN too
    if (dayNumber > kMaxDayNumber) dayNumber = kMaxDayNumber;
    // Whole milliseconds since the epoch; a time that rounds up to midnight
    // belongs to the next day.
    const int64_t total = static_cast<int64_t>(std::llround(dayNumber * static_cast<double>(kMsPerDay)));
    const int64_t days = total / kMsPerDay;
    int64_t ms = total % kMsPerDay;

    TDateTimeParts p;
    CivilFromDays(days - kUnixEpochDay, p.year, p.month, p.day);
    p.hour = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    p.minute = static_cast<int>(ms / 60000);
    ms %= 60000;
    p.second = static_cast<int>(ms / 1000);
    p.millisecond = static_cast<int>(ms % 1000);
    return p;
}

double DateTimeToDayNumber(const TDateTimeParts& p)
{
    const int64_t days = DaysFromCivil(p.year, p.month, p.day) + kUnixEpochDay;
    const int64_t ms = ((static_cast<int64_t>(p.hour) * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond;
    return static_cast<double>(days) + static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

std::string FormatDayMonYear(const TDateTimeParts& dt)
{
    return Cat({Two(dt.day), "-", SUB::Get(kMonthList, dt.month, ""), "-", PadLeft(dt.year, 4)});
}

std::string FormatDayMonYear(double dayNumber) { return FormatDayMonYear(DayNumberToDateTime(dayNumber)); }

std::string FormatDayMonYearTime(const std::string& separator, const TDateTimeParts& dt,
                                 const TLocaleSeparators& seps)
{
    return FormatDayMonYear(dt) + separator + TimeText(dt, seps.time);
}

std::string FormatLogStamp(const TDateTimeParts& dt, const TLocaleSeparators& seps)
{
    return Cat({Two(dt.day), seps.date, Two(dt.month), seps.date, Two(dt.year % 100), " ", TimeText(dt, seps.time)});
}

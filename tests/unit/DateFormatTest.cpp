// Day numbers and the log formats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sys/DateFormat.h"

namespace {

TDateTimeParts Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    TDateTimeParts p;
    p.year = y;
    p.month = mo;
    p.day = d;
    p.hour = h;
    p.minute = mi;
    p.second = s;
    return p;
}

void ExpectSameDate(const TDateTimeParts& got, const TDateTimeParts& want)
{
    EXPECT_EQ(got.year, want.year);
    EXPECT_EQ(got.month, want.month);
    EXPECT_EQ(got.day, want.day);
    EXPECT_EQ(got.hour, want.hour);
    EXPECT_EQ(got.minute, want.minute);
    EXPECT_EQ(got.second, want.second);
}

TEST(DateFormat, DayNumbersCountFrom30December1899)
{
    const struct {
        double day;
        TDateTimeParts date;
    } cases[] = {
        {0, Date(1899, 12, 30)},
        {1.5, Date(1899, 12, 31, 12)},
        {2, Date(1900, 1, 1)},
        {60, Date(1900, 2, 28)},
        {61, Date(1900, 3, 1)},  // 1900 was no leap year
        {36585, Date(2000, 2, 29)},
        {45658, Date(2025, 1, 1)},
        {46362.25, Date(2026, 12, 6, 6)},
        {46362 + (3600.0 * 23 + 60 * 59 + 59) / 86400, Date(2026, 12, 6, 23, 59, 59)},
        {0.9999999999, Date(1899, 12, 31)},  // rounds up to the next midnight
        {-5, Date(1899, 12, 30)},            // clamped
        {std::numeric_limits<double>::quiet_NaN(), Date(1899, 12, 30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.day);
        ExpectSameDate(DayNumberToDateTime(c.day), c.date);
        if (c.day >= 0 && c.day < 1e6 && c.day != 0.9999999999) {
            EXPECT_NEAR(DateTimeToDayNumber(c.date), c.day, 1e-9);
        }
    }
    ExpectSameDate(DayNumberToDateTime(1e12), DayNumberToDateTime(kMaxDayNumber));
}

TEST(DateFormat, DayNumbersRoundTrip)
{
    auto key = [](const TDateTimeParts& p) { return (p.year * 100 + p.month) * 100 + p.day; };
    for (int day = 0; day < 200000; day += 7) {
        const TDateTimeParts p = DayNumberToDateTime(day);
        ASSERT_EQ(DateTimeToDayNumber(p), day);
        ASSERT_LT(key(p), key(DayNumberToDateTime(day + 1)));  // every day number a new date
    }
}

TEST(DateFormat, FormatDayMonYear)
{
    EXPECT_EQ(FormatDayMonYear(Date(2026, 12, 6)), "06-DEC-2026");
    EXPECT_EQ(FormatDayMonYear(46362.75), "06-DEC-2026");
    const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(FormatDayMonYear(Date(1999, m, 15)), std::string("15-") + months[m - 1] + "-1999");
    EXPECT_EQ(FormatDayMonYear(Date(987, 1, 1)), "01-JAN-0987");
}

TEST(DateFormat, TimeAndLogStampUseTheLocaleSeparators)
{
    const TDateTimeParts dt = Date(2026, 12, 6, 7, 8, 9);
    EXPECT_EQ(FormatDayMonYearTime(" ", dt), "06-DEC-2026 07:08:09");
    EXPECT_EQ(FormatDayMonYearTime(" - ", dt, {"/", "."}), "06-DEC-2026 - 07.08.09");
    EXPECT_EQ(FormatLogStamp(dt), "06/12/26 07:08:09");
    EXPECT_EQ(FormatLogStamp(dt, {".", ":"}), "06.12.26 07:08:09");
    EXPECT_EQ(FormatLogStamp(Date(2005, 1, 2, 23, 0, 0), {"-", "."}), "02-01-05 23.00.00");
}

}  // namespace

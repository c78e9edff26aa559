// Dates and times in the formats of the logs. Dates are day numbers: days
// since 30 December 1899 00:00, the fraction being the time of day (so 1.5
// is 31 December 1899 12:00). Formatting works on broken-down values; the
// platform side (UtilsWin) supplies "now" and the user's locale separators.
#pragma once

#include <cstdint>
#include <string>

struct TDateTimeParts {
    int year = 1899;
    int month = 12;  // 1 to 12
    int day = 30;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The user's locale separators (GetLocaleInfo's date and time separators).
struct TLocaleSeparators {
    std::string date = "/";
    std::string time = ":";
};

// The month list: item n is the name of month n ("JAN" for 1), item 0 empty.
inline constexpr const char* kMonthList = "||JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC|";

// Latest day number the formats accept (dates are clamped to 0 .. this).
constexpr double kMaxDayNumber = 10000000.0;

// Day number to date and time, clamped to 0 .. kMaxDayNumber, the time
// rounded to the millisecond.
TDateTimeParts DayNumberToDateTime(double dayNumber);
// And back (no clamping).
double DateTimeToDayNumber(const TDateTimeParts& parts);
// The whole days of a date since 30 December 1899 (1 January 1900 is 2).
int64_t DateToDayCount(int year, int month, int day);

// "06-DEC-2026": two-digit day, month name, four-digit year.
std::string FormatDayMonYear(const TDateTimeParts& dt);
std::string FormatDayMonYear(double dayNumber);

// FormatDayMonYear + separator + "HH:NN:SS" (24-hour, two digits each, ":"
// being the locale's time separator).
std::string FormatDayMonYearTime(const std::string& separator, const TDateTimeParts& dt,
                                 const TLocaleSeparators& seps = {});

// "dd/mm/yy HH:NN:SS" with the locale's date and time separators (the run
// log's line stamp).
std::string FormatLogStamp(const TDateTimeParts& dt, const TLocaleSeparators& seps = {});

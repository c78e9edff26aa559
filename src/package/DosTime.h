// MS-DOS date-times, the form in which a package stores each file's time:
// high 16 bits the date (years since 1980, month, day), low 16 bits the time
// (hours, minutes, seconds / 2), local time. 0 stands for "no time".
#pragma once

#include <cstdint>
#include <ctime>

// 0 when the time falls outside 1980 to 2107, which the form cannot hold.
int32_t DosDateTimeFromTm(const std::tm& local);
// false for 0 and for fields out of range.
bool TmFromDosDateTime(int32_t dosTime, std::tm& local);

// The same through the C library's local time zone.
int32_t DosDateTimeFromTime(std::time_t t);
bool TimeFromDosDateTime(int32_t dosTime, std::time_t& t);

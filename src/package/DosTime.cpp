#include "package/DosTime.h"

int32_t DosDateTimeFromTm(const std::tm& local) {
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) return 0;
    const uint32_t date = ((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
    const uint32_t time = (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2);
    return static_cast<int32_t>((date << 16) | time);
}

bool TmFromDosDateTime(int32_t dosTime, std::tm& local) {
    const uint32_t v = static_cast<uint32_t>(dosTime);
    const uint32_t date = v >> 16, time = v & 0xFFFF;
    std::tm t{};
    t.tm_year = static_cast<int>(date >> 9) + 80;
    t.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    t.tm_mday = static_cast<int>(date & 0x1F);
    t.tm_hour = static_cast<int>(time >> 11);
    t.tm_min = static_cast<int>((time >> 5) & 0x3F);
    t.tm_sec = static_cast<int>(time & 0x1F) * 2;
    if (v == 0 || t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_hour > 23 || t.tm_min > 59 || t.tm_sec > 59)
        return false;
    t.tm_isdst = -1;
    local = t;
    return true;
}

int32_t DosDateTimeFromTime(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &t) != 0) return 0;
#else
    if (!localtime_r(&t, &local)) return 0;
#endif
    return DosDateTimeFromTm(local);
}

bool TimeFromDosDateTime(int32_t dosTime, std::time_t& t) {
    std::tm local{};
    if (!TmFromDosDateTime(dosTime, local)) return false;
    t = std::mktime(&local);
    return t != static_cast<std::time_t>(-1);
}

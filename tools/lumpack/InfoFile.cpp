#include "InfoFile.h"

#include <utility>

#include "package/PackFile.h"
#include "sys/IniText.h"
#include "sys/Utils.h"

bool ReadInfoFile(const std::string& path, std::string& text, std::string& why) {
    TPackFile f;
    if (!f.Open(path)) {
        why = "cannot read '" + path + "'";
        return false;
    }
    const int64_t size = f.Size();
    if (size < 0 || size > static_cast<int64_t>(kMaxInfoBytes)) {
        why = "'" + path + "' is larger than the " + std::to_string(kMaxInfoBytes) + " bytes an agent reads";
        return false;
    }
    text.assign(static_cast<size_t>(size), '\0');
    if (!f.ReadExact(0, text.data(), text.size())) {
        why = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

std::string InfoValue(const std::string& text, const char* section, const char* key) {
    return IniGetValue(text, section, key, "");
}

bool SetInfoValue(std::string& text, const char* section, const char* key, const std::string& value) {
    std::string changed = text;
    if (!IniSetValue(changed, section, key, value) || IniGetValue(changed, section, key, "") != value) return false;
    text = std::move(changed);
    return true;
}

bool ParseVersion(const std::string& text, int64_t& version) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const int64_t v = TextToInt64(text, 0);
    if (v < 1 || v > kMaxVersion) return false;
    version = v;
    return true;
}

bool ParseDay(const std::string& text, std::chrono::year_month_day& day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    const int y = static_cast<int>(TextToInt64(text.substr(0, 4), 0));
    const unsigned m = static_cast<unsigned>(TextToInt64(text.substr(5, 2), 0));
    const unsigned d = static_cast<unsigned>(TextToInt64(text.substr(8, 2), 0));
    day = std::chrono::year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
    return day.ok();
}

std::chrono::year_month_day TodayUtc() {
    return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
}

std::string ExpiresProblem(const std::string& value) {
    std::chrono::year_month_day day;
    if (!ParseDay(value, day)) return "Expires '" + value + "' is not a day written YYYY-MM-DD";
    if (std::chrono::sys_days{day} < std::chrono::sys_days{TodayUtc()})
        return "Expires " + value + " has passed: the agent refuses this INFO file";
    return "";
}

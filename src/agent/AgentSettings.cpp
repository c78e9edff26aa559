#include "agent/AgentSettings.h"

#include <string_view>

#include "sys/LSUB.h"
#include "sys/Utils.h"

int64_t DateTimeToSeconds(const TDateTimeParts& dt)
{
    const int64_t day = DateToDayCount(dt.year, dt.month, dt.day);
    return day * 86400 + (static_cast<int64_t>(dt.hour) * 60 + dt.minute) * 60 + dt.second +
           (dt.millisecond >= 500 ? 1 : 0);
}

std::string ReadableSeconds(int64_t seconds, const TLocaleSeparators& seps)
{
    return FormatDayMonYearTime(" ", DayNumberToDateTime(static_cast<double>(seconds) / 86400.0), seps);
}

std::string TAgentSettings::Text(TSettingsFile f, const char* section, const char* key, const char* def)
{
    return src_.ReadKey(f, section, key, def);
}

int64_t TAgentSettings::Int(TSettingsFile f, const char* section, const char* key, int64_t def)
{
    return TextToInt64(src_.ReadKey(f, section, key, IntText(def)), def);
}

bool TAgentSettings::Bool(TSettingsFile f, const char* section, const char* key)
{
    return Text(f, section, key, "0") == "1";
}

std::string TAgentSettings::AUText(const char* key, const char* def)
{
    static const char* const kDefaults[][2] = {
        {"s3", "File Download Aborted!"},     {"s4", "File not Found!"},
        {"s5", "Unable to Download File!"},   {"s31", "Downloading INFO File..."},
        {"s32", "Downloading UPDATE File..."}, {"s33", "Downloading INFORM File..."},
        {"s34", "New Version"},               {"s35", "Download"},
    };
    const char* d = def;
    if (!*d)
        for (const auto& kd : kDefaults)
            if (std::string_view(key) == kd[0]) d = kd[1];
    return src_.ReadKey(TSettingsFile::Original, "AutoUpdate", key, d);
}

bool TAgentSettings::SetOrig(const char* key, int64_t value)
{
    return src_.WriteKey(TSettingsFile::Original, "OriginalSetup", key, IntText(value));
}

bool TAgentSettings::SetTime(const char* key, int64_t seconds)
{
    const bool ok = SetOrig(key, seconds);
    return src_.WriteKey(TSettingsFile::Original, "OriginalSetup", std::string("__") + key,
                         ReadableSeconds(seconds, src_.Separators())) &&
           ok;
}

bool TAgentSettings::Overridden(TOverride which, const char* key)
{
    const uint8_t v = overrides_[which];
    return v == kOverrideUnset ? Bool(TSettingsFile::Info, "NewSetup", key) : v == 1;
}

std::string TAgentSettings::OverridesToList() const
{
    std::string list = "|";
    for (uint8_t v : overrides_) list += IntText(v) + "|";
    return list;
}

void TAgentSettings::OverridesFromList(const std::string& list)
{
    for (int i = 0; i < kOverrideCount; ++i) {
        const std::string item = SUB::Get(list, i, "");
        // A number converts the same whatever the default; anything else
        // gives the default back.
        const int64_t v = TextToInt64(item, 0);
        if (v == TextToInt64(item, 1)) overrides_[i] = static_cast<uint8_t>(v & 0xFF);
    }
}

bool TAgentSettings::CheckTestMode(bool force)
{
    const uint32_t now = src_.TickCount();
    if (force || !testModeRead_ || now - testModeTick_ > kTestModeCacheMs) {
        const std::string mode = src_.ReadRegistry(kTestModeKey, "TestMode", "0");
        const std::string date = src_.ReadRegistry(kTestModeKey, "TestModeDate", "");
        testModeURL_ = src_.ReadRegistry(kTestModeKey, "TestModeURL", "");
        testMode_ = mode == "1" && date == FormatDayMonYear(src_.LocalNow());
        testModeRead_ = true;
    }
    testModeTick_ = now;
    return testMode_;
}

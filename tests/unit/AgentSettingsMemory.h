// A settings source held in memory: the two INI files as section/key/value
// entries, the registry values, and a clock the caller sets. The native
// tests drive the settings through it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "agent/AgentSettings.h"

inline constexpr TSettingsFile kOrig = TSettingsFile::Original;
inline constexpr TSettingsFile kInfo = TSettingsFile::Info;
// The memory source's clock below, 5 December 2026 14:03:59, in seconds.
inline constexpr int64_t kNow = 4005641039;

class TMemorySettingsSource : public TAgentSettingsSource {
public:
    std::string FilePath(TSettingsFile file) override
    {
        return file == TSettingsFile::Original ? "C:\\App\\agent.original" : "C:\\App\\agent.info";
    }
    std::string ReadKey(TSettingsFile file, const std::string& section, const std::string& key,
                        const std::string& def) override;
    bool WriteKey(TSettingsFile file, const std::string& section, const std::string& key,
                  const std::string& value) override;
    std::string ReadRegistry(const std::string& path, const std::string& name, const std::string& def) override;
    uint32_t TickCount() override { return tick; }
    TDateTimeParts LocalNow() override { return now; }

    // Removes every key of one file (an empty or missing file).
    void Clear(TSettingsFile file);
    void SetRegistry(const std::string& name, const std::string& value);

    bool writable = true;  // false: every write fails
    uint32_t tick = 100000;
    TDateTimeParts now{2026, 12, 5, 14, 3, 59, 0};
    int registryReads = 0;

private:
    struct TEntry {
        TSettingsFile file;
        std::string section, key, value;
    };
    std::vector<TEntry> entries_;
    std::vector<std::pair<std::string, std::string>> registry_;
};

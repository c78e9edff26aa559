#include "AgentSettingsMemory.h"

#include "sys/Utils.h"

std::string TMemorySettingsSource::ReadKey(TSettingsFile file, const std::string& section, const std::string& key,
                                           const std::string& def)
{
    for (const TEntry& e : entries_)
        if (e.file == file && SameText(e.section, section) && SameText(e.key, key))
            return e.value.empty() ? def : e.value;
    return def;
}

bool TMemorySettingsSource::WriteKey(TSettingsFile file, const std::string& section, const std::string& key,
                                     const std::string& value)
{
    if (!writable) return false;
    for (TEntry& e : entries_)
        if (e.file == file && SameText(e.section, section) && SameText(e.key, key)) {
            e.value = value;
            return true;
        }
    entries_.push_back({file, section, key, value});
    return true;
}

std::string TMemorySettingsSource::ReadRegistry(const std::string& path, const std::string& name,
                                                const std::string& def)
{
    ++registryReads;
    if (path != kTestModeKey) return def;
    for (const auto& [n, v] : registry_)
        if (SameText(n, name)) return v;
    return def;
}

void TMemorySettingsSource::Clear(TSettingsFile file)
{
    std::erase_if(entries_, [file](const TEntry& e) { return e.file == file; });
}

void TMemorySettingsSource::SetRegistry(const std::string& name, const std::string& value)
{
    for (auto& [n, v] : registry_)
        if (SameText(n, name)) {
            v = value;
            return;
        }
    registry_.emplace_back(name, value);
}

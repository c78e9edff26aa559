#include "agent/AgentSettingsWin.h"

#include <windows.h>

#include "package/PackX.h"
#include "sys/IniText.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {
// One source and its settings for the process.
struct TProcessSettings {
    TWinSettingsSource source;
    TAgentSettings settings{source};
};

TProcessSettings& ProcessSettings()
{
    static TProcessSettings process;
    return process;
}
}  // namespace

void InitAgentSettings(const TGFileInfo& package)
{
    const std::string folder = OwnFolder(true);
    ProcessSettings().source.SetFiles(folder + package.OriginalInfoName(), folder + package.UpdateInfoName());
}

TAgentSettings& AgentSettings() { return ProcessSettings().settings; }

void TWinSettingsSource::SetFiles(const std::string& originalPath, const std::string& infoPath)
{
    originalPath_ = originalPath;
    infoPath_ = infoPath;
}

std::string TWinSettingsSource::FilePath(TSettingsFile file)
{
    return file == TSettingsFile::Original ? originalPath_ : infoPath_;
}

std::string TWinSettingsSource::ReadKey(TSettingsFile file, const std::string& section, const std::string& key,
                                        const std::string& def)
{
    // Read from the file as it is now: the profile functions may answer from
    // a copy they keep while the file's time has not visibly changed (Wine
    // does), and another program may have rewritten it a moment ago.
    return ReadIniKeyFresh(FilePath(file), section, key, def);
}

bool TWinSettingsSource::WriteKey(TSettingsFile file, const std::string& section, const std::string& key,
                                  const std::string& value)
{
    return WriteIniKeyInPlace(FilePath(file), section, key, value);
}

std::string TWinSettingsSource::ReadRegistry(const std::string& path, const std::string& name, const std::string& def)
{
    return RegReadString(path, name, def, RegistryView64() != 0);
}

uint32_t TWinSettingsSource::TickCount() { return GetTickCount(); }
TDateTimeParts TWinSettingsSource::LocalNow() { return ::LocalNow(); }
TLocaleSeparators TWinSettingsSource::Separators() { return UserLocaleSeparators(); }

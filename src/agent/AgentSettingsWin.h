// The agent's settings as the running stub keeps them: one set for the
// process, over the real files beside the executable, the registry and the
// system's clocks.
#pragma once

#include <string>

#include "agent/AgentSettings.h"

class TGFileInfo;

// The files: the running executable's folder + the package's original and
// INFO file names. Called once at start; until then both paths are empty.
void InitAgentSettings(const TGFileInfo& package);

// The process's settings, read and written by the stub and the agent alike.
TAgentSettings& AgentSettings();

// The Win32 source by itself (a fresh one per call site that wants its own
// files or test-mode cache).
class TWinSettingsSource : public TAgentSettingsSource {
public:
    // The original and the INFO file, by full path.
    void SetFiles(const std::string& originalPath, const std::string& infoPath);

    std::string FilePath(TSettingsFile file) override;
    std::string ReadKey(TSettingsFile file, const std::string& section, const std::string& key,
                        const std::string& def) override;
    bool WriteKey(TSettingsFile file, const std::string& section, const std::string& key,
                  const std::string& value) override;
    std::string ReadRegistry(const std::string& path, const std::string& name, const std::string& def) override;
    uint32_t TickCount() override;
    TDateTimeParts LocalNow() override;
    TLocaleSeparators Separators() override;

private:
    std::string originalPath_;
    std::string infoPath_;
};

// The resident agent's state that other processes can steer through
// window messages, and the dispatch of those messages.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

struct TAgentState {
    int32_t autoUpdateTimerCount = -3;  // a probe is considered only while above 0
    int stopCountdown = -1;             // ticks until the agent ends; -1 never
    int agentPhase = 0;                 // 0 idle, 1 info file, 2 new setup, 3 running it
    int agentMode = 0;
    bool probeNowRequested = false;
    bool justDownloadInfoFileRequested = false;
    // Overrides of the agent's confirmations; 255 defers to the INFO file.
    std::array<uint8_t, 8> transient{255, 255, 255, 255, 255, 255, 255, 255};
};

// Where the agent keeps its settings (its INI files beside it).
class TAgentSettingsStore {
public:
    virtual ~TAgentSettingsStore() = default;
    virtual int64_t ReadInt(const std::string& name) = 0;
    virtual void WriteInt(const std::string& name, int64_t value) = 0;
    virtual int64_t VersionOriginal() = 0;
    virtual int64_t VersionNew() = 0;
};

// A store that keeps the values for the process only. It stands in until
// the agent reads and writes its INI files.
class TMemorySettingsStore : public TAgentSettingsStore {
public:
    int64_t ReadInt(const std::string& name) override;
    void WriteInt(const std::string& name, int64_t value) override;
    int64_t VersionOriginal() override { return 0; }
    int64_t VersionNew() override { return 0; }

private:
    std::map<std::string, int64_t> values_;
};

// The handler of wm_AgentMsg: codes that read return the value (low 32
// bits), all others return 0.
int32_t AgentMessageDispatch(TAgentState& state, TAgentSettingsStore& store, int code, int64_t value);

// The override list: "|a|b|c|d|e|f|g|h|" of the eight override values.
// Items that are missing or not numbers leave their override unchanged.
void OverridesFromList(TAgentState& state, const std::string& list);
std::string OverridesToList(const TAgentState& state);

// One tick of the resident agent's stop countdown: true when the agent
// must end now; a non-negative countdown counts down by one per tick.
bool AgentStopCountdownTick(TAgentState& state);

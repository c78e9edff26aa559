#include "stub/StubAgentState.h"

#include "sys/LSUB.h"
#include "sys/Utils.h"

int64_t TMemorySettingsStore::ReadInt(const std::string& name)
{
    auto it = values_.find(name);
    return it == values_.end() ? 0 : it->second;
}

void TMemorySettingsStore::WriteInt(const std::string& name, int64_t value) { values_[name] = value; }

namespace {
const char* SettingOfCode(int code)
{
    switch (code) {
    case 8: case 12: return "ProbeSecondsInterval";
    case 9: case 13: return "ReAskSecondsInterval";
    case 10: case 14: return "ProbeSecondsLast";
    case 11: case 15: return "ReAskSecondsLast";
    default: return nullptr;
    }
}
}  // namespace

int32_t AgentMessageDispatch(TAgentState& state, TAgentSettingsStore& store, int code, int64_t value)
{
    switch (code) {
    case 4: return static_cast<int32_t>(store.VersionOriginal());
    case 5: return static_cast<int32_t>(store.VersionNew());
    case 7: return state.agentPhase;
    case 8: case 9: case 10: case 11: return static_cast<int32_t>(store.ReadInt(SettingOfCode(code)));
    case 12: case 13: case 14: case 15: store.WriteInt(SettingOfCode(code), value); return 0;
    case 20: case 21: case 22: case 23: case 24: case 25:
        state.transient[code - 20] = static_cast<uint8_t>(value & 0xFF);
        return 0;
    case 30: state.stopCountdown = static_cast<int>(value); return 0;
    case 31:
        state.probeNowRequested = true;
        if (state.autoUpdateTimerCount < 1) state.autoUpdateTimerCount = 1;
        if (value == 2) state.agentMode = 2;
        return 0;
    case 32: state.justDownloadInfoFileRequested = true; return 0;
    default: return 0;
    }
}

bool AgentStopCountdownTick(TAgentState& state)
{
    const bool end = state.stopCountdown == 0;
    if (state.stopCountdown >= 0) --state.stopCountdown;
    return end;
}

void OverridesFromList(TAgentState& state, const std::string& list)
{
    for (int i = 0; i < 8; ++i) {
        const std::string item = SUB::Get(list, i, "");
        const int64_t v = TextToInt64(item, -1);
        if (!item.empty() && (v != -1 || Trim(item) == "-1")) state.transient[i] = static_cast<uint8_t>(v & 0xFF);
    }
}

std::string OverridesToList(const TAgentState& state)
{
    std::string list = "|";
    for (uint8_t v : state.transient) list += std::to_string(v) + "|";
    return list;
}

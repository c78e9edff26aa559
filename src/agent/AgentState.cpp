#include "agent/AgentState.h"

#include "agent/AgentProtocol.h"
#include "agent/AgentSettings.h"

int32_t AgentMessageDispatch(TAgentState& state, TAgentSettings& s, int code, int64_t value)
{
    switch (code) {
    case kAgentGetVersionOriginal: return static_cast<int32_t>(s.VersionOriginal());
    case kAgentGetVersionNew: return static_cast<int32_t>(s.VersionNew());
    case kAgentGetPhase: return state.agentPhase;
    case kAgentGetProbeSecondsInterval: return static_cast<int32_t>(s.ProbeSecondsInterval());
    case kAgentGetReAskSecondsInterval: return static_cast<int32_t>(s.ReAskSecondsInterval());
    case kAgentGetProbeSecondsLast: return static_cast<int32_t>(s.ProbeSecondsLast());
    case kAgentGetReAskSecondsLast: return static_cast<int32_t>(s.ReAskSecondsLast());
    case kAgentSetProbeSecondsInterval: s.SetProbeSecondsInterval(value); return 0;
    case kAgentSetReAskSecondsInterval: s.SetReAskSecondsInterval(value); return 0;
    // A time arrives in the message's 32 bits; times are never negative and
    // today's are above 2^31, so the bits are taken as unsigned (the read
    // codes return the same low half).
    case kAgentSetProbeSecondsLast: s.SetProbeSecondsLast(static_cast<uint32_t>(value)); return 0;
    case kAgentSetReAskSecondsLast: s.SetReAskSecondsLast(static_cast<uint32_t>(value)); return 0;
    case kAgentSetStopCountdown: RequestAgentStop(state, static_cast<int>(value)); return 0;
    case kAgentProbeNow:
        state.probeNowRequested = true;
        if (state.autoUpdateTimerCount < 1) state.autoUpdateTimerCount = 1;
        if (value == kAgentProbeInteractive) state.agentMode = kModeCheckAsked;
        return 0;
    case kAgentJustDownloadInfo: state.justDownloadInfoFileRequested = true; return 0;
    default:
        if (code >= kAgentSetOverrideFirst && code <= kAgentSetOverrideLast)
            s.SetOverride(static_cast<TOverride>(code - kAgentSetOverrideFirst), static_cast<uint8_t>(value & 0xFF));
        return 0;
    }
}

bool AgentStopCountdownTick(TAgentState& state)
{
    const bool end = state.stopCountdown == 0;
    if (state.stopCountdown >= 0) --state.stopCountdown;
    return end;
}

void RequestAgentStop(TAgentState& state, int countdown)
{
    state.stopCountdown = countdown;
    ++state.stopRequests;
}

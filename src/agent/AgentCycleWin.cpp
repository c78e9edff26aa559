// The resident agent's timer step. The update cycle (probing the server,
// deciding, downloading, shutting the product down) is not built yet: the
// step keeps the agent's clock, its phase and its stop countdown, so the
// agent can be steered and stopped by the messages other processes post.
#include "agent/AgentCycle.h"

#include <string>

#include "agent/AgentProtocol.h"
#include "agent/AgentSettingsWin.h"
#include "sys/LWriteln.h"

namespace {
bool gTimerBusy = false;
TAgentState gAgentState;
}  // namespace

TAgentState& AgentState() { return gAgentState; }

bool AgentWindowMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    switch (msg) {
    case wm_ShutDown:
        gAgentState.stopCountdown = static_cast<int>(wp);
        result = 0;
        return true;
    case wm_AgentMsg:
        result = AgentMessageDispatch(gAgentState, AgentSettings(), static_cast<int>(wp), static_cast<int32_t>(lp));
        return true;
    default:
        return false;
    }
}

void AgentTimerStep(HWND)
{
    if (gTimerBusy) return;
    gTimerBusy = true;
    TAgentState& st = gAgentState;
    st.agentPhase = 0;
    if (st.agentMode == 2) st.agentMode = 1;
    if (st.agentMode == 1) st.autoUpdateTimerCount = 0;
    if (AgentStopCountdownTick(st)) PostQuitMessage(0);
    ++st.autoUpdateTimerCount;
    Trace(std::to_string(GetCurrentProcessId()) + " AutoUpdateTimerCount=" + std::to_string(st.autoUpdateTimerCount));
    // An interactive check lasts one tick: without this the counter would be
    // reset on every later tick and the agent would never count again.
    if (st.autoUpdateTimerCount > 0 && st.agentMode == 1) st.agentMode = 0;
    st.agentPhase = 0;
    gTimerBusy = false;
}

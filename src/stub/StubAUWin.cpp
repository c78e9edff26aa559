// The resident agent's timer step. The update cycle (probing the server,
// deciding, downloading, shutting the product down) is not built yet: the
// step keeps the agent's clock, its phase and its stop countdown, so the
// agent can be steered and stopped by the messages other processes post.
#include <windows.h>

#include "stub/StubAgentState.h"
#include "stub/StubRunWin.h"
#include "stub/StubState.h"
#include "sys/LWriteln.h"

namespace {
bool gTimerBusy = false;
}  // namespace

void AgentTimerStep(HWND)
{
    if (gTimerBusy) return;
    gTimerBusy = true;
    TAgentState& st = AgentState();
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

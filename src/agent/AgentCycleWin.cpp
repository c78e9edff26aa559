// The resident agent's state and the messages other processes steer it by.
// Its timer step, the update cycle, is StubAUWin.
#include "agent/AgentCycle.h"

#include <string>

#include "agent/AgentHost.h"
#include "agent/AgentProtocol.h"
#include "agent/AgentSettingsWin.h"
#include "sys/LWriteln.h"

namespace {
TAgentState gAgentState;
TAgentHost gHost;
}  // namespace

TAgentState& AgentState() { return gAgentState; }
void SetAgentHost(const TAgentHost& host) { gHost = host; }
const TAgentHost& AgentHost() { return gHost; }

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

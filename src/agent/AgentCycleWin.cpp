// The resident agent's state and the messages other processes steer it by.
// Its timer step, the update cycle, is StubAUWin.
#include "agent/AgentCycle.h"

#include <string>

#include "agent/AgentHost.h"
#include "agent/AgentProtocol.h"
#include "agent/AgentSettingsWin.h"
#include "net/InetHTTP.h"
#include "sys/LWriteln.h"
#include "ui/LMsgBox.h"

namespace {
TAgentState gAgentState;
TAgentHost gHost;
}  // namespace

TAgentState& AgentState() { return gAgentState; }
void SetAgentHost(const TAgentHost& host) { gHost = host; }
const TAgentHost& AgentHost() { return gHost; }

namespace {
// A stop request that arrives in the middle of a tick ends what the tick
// waits for: a running download (a slow or stalled server must not keep
// the agent from ending) and the box that asks the user to close the
// product. A stop request before a download does not touch it: each
// download starts with the abort flag cleared.
void StopRequested()
{
    SetDownloadAbort(true);
    if (gAgentState.askingToCloseProduct) CloseOpenMsgBox();
}
}  // namespace

bool AgentWindowMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    const uint32_t stops = gAgentState.stopRequests;
    switch (msg) {
    case wm_ShutDown:
        RequestAgentStop(gAgentState, static_cast<int>(wp));
        result = 0;
        break;
    case wm_AgentMsg:
        result = AgentMessageDispatch(gAgentState, AgentSettings(), static_cast<int>(wp), static_cast<int32_t>(lp));
        break;
    default:
        return false;
    }
    if (gAgentState.stopRequests != stops) StopRequested();
    return true;
}

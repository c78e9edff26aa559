#include "agent/ResidentAgentWin.h"

#include "agent/AgentProtocol.h"
#include "agent/AgentRunLog.h"
#include "agent/AgentSettingsWin.h"
#include "agent/AgentSystemWin.h"
#include "agent/AgentUpdateCycle.h"
#include "net/InetHTTP.h"
#include "sys/CommandLine.h"
#include "ui/LMsgBox.h"

TResidentAgent::TResidentAgent(const TGFileInfo& package, TAgentWindow& window)
    : system_(MakeWinAUSystem(package, window)), agent_{*system_, AgentSettings(), state_}
{
    const int64_t sleepX = GetSwitchInt("/SleepX=", -1);
    if (sleepX >= 0) state_.autoUpdateTimerCount = static_cast<int32_t>(-sleepX);
}

void TResidentAgent::Tick() { AgentTick(agent_); }

// A stop request that arrives in the middle of a tick ends what the tick
// waits for: a running download (a slow or stalled server must not keep
// the agent from ending) and the box that asks the user to close the
// product. A stop request before a download does not touch it: each
// download starts with the abort flag cleared.
void TResidentAgent::StopRequested()
{
    SetDownloadAbort(true);
    if (state_.askingToCloseProduct) CloseOpenMsgBox();
}

bool TResidentAgent::WindowMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    const uint32_t stops = state_.stopRequests;
    result = 0;
    switch (msg) {
    case wm_ShutDown:
        RequestAgentStop(state_, static_cast<int>(wp));
        break;
    case wm_LocalMsg:
        SetListener(static_cast<uintptr_t>(wp), static_cast<uint32_t>(lp));
        NotifyListener(kListenerSenderWindow, reinterpret_cast<intptr_t>(wnd));
        NotifyListener(kListenerAgentMessage, wm_AgentMsg);
        break;
    case wm_AgentMsg:
        result = AgentMessageDispatch(state_, AgentSettings(), static_cast<int>(wp), static_cast<int32_t>(lp));
        break;
    default:
        return false;
    }
    if (state_.stopRequests != stops) StopRequested();
    return true;
}

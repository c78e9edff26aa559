// The resident agent on Windows: its one state, the system it runs on, and
// the messages other processes steer it by. The stub makes one for its run
// and lends it the window (AgentWindow.h); the window procedure passes on
// the timer's ticks and the agent's messages.
#pragma once

#include <windows.h>

#include <memory>

#include "agent/AgentState.h"
#include "agent/AgentSystem.h"

class TAgentWindow;
class TGFileInfo;

class TResidentAgent {
public:
    // A /SleepX=n on the command line holds the first probe back n ticks.
    TResidentAgent(const TGFileInfo& package, TAgentWindow& window);

    // The step of every timer tick: the update cycle.
    void Tick();
    // wm_ShutDown, wm_LocalMsg and wm_AgentMsg: true when the message was
    // one of them, with the procedure's result in `result`.
    bool WindowMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

private:
    void StopRequested();

    TAgentState state_;
    std::unique_ptr<TAUSystem> system_;
    TAgent agent_;
};

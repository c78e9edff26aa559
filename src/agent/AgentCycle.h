// The resident agent's life on its window: the state other processes steer,
// and the step the window runs on every timer tick.
#pragma once

#include <windows.h>

#include "agent/AgentState.h"

TAgentState& AgentState();

// The resident agent's step on every timer tick.
void AgentTimerStep(HWND wnd);

// The window procedure's share: wm_ShutDown, wm_AgentMsg. True when the
// message was the agent's (result in `result`).
bool AgentWindowMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

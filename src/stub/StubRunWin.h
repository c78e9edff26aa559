// The stub's roles and runs, as the window and the main body call them.
#pragma once

#include <windows.h>

#include <string>

// The role decision of the main body.
void DoRunStubWin();
// The marker class of this process's window.
std::string StubWindowClassName();

// The plain stub's setup run, on the window's first timer tick.
void StartSetupRun(HWND wnd);
// The resident agent's step on every timer tick.
void AgentTimerStep(HWND wnd);

// The per-run temporary folder (made, emptied, on first use).
std::string SetupTempFolder();

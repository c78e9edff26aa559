// The setup run: the plain stub's run on the window's first tick, and the
// package setup run that it, the Internet package and the agent's update
// share (temporary drive, question, extraction, the engine, clean-up).
#pragma once

#include <windows.h>

#include <string>

struct TStubRun;

// The plain stub's setup run, on the window's first timer tick; ends the
// window's loop.
void StartSetupRun(TStubRun& run, HWND wnd);

// Unpacks a package into the folder (or a roomier one), asks what the run
// must ask, starts the engine and waits; true when the engine signalled
// success.
bool RunPackageSetup(TStubRun& run, std::string extractFolder, const std::string& packageFile,
                     const std::string& agentName, bool foregroundOp, const std::string& extraArgs);

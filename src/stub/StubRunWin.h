// The stub's roles and runs, as the window and the main body call them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The role decision of the main body.
void DoRunStubWin();
// The marker class of this process's window.
std::string StubWindowClassName();

// The plain stub's setup run, on the window's first timer tick.
void StartSetupRun(HWND wnd);

// The per-run temporary folder (made, emptied, on first use).
std::string SetupTempFolder();
// The running executable's last-write time as a packed DOS date-time.
uint32_t OwnDosDateTime();

// Unpacks a package into the folder (or a roomier one), asks what the run
// must ask, starts the engine and waits; true when the engine signalled
// success. Also runs the setup that an Internet package downloaded.
bool RunPackageSetup(std::string extractFolder, const std::string& packageFile, const std::string& agentName,
                     bool foregroundOp, const std::string& extraArgs);

// The stub's roles and runs, as the window and the main body call them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct TStubRun;

// The plain stub's setup run, on the window's first timer tick.
void StartSetupRun(TStubRun& run, HWND wnd);

// The per-run temporary folder "SETUP_<n>", made new and private on first
// use (the next number when the name is taken); empty when none could be
// made.
std::string SetupTempFolder(TStubRun& run);
// The running executable's last-write time as a packed DOS date-time.
uint32_t OwnDosDateTime();

// Unpacks a package into the folder (or a roomier one), asks what the run
// must ask, starts the engine and waits; true when the engine signalled
// success. Also runs the setup that an Internet package downloaded.
bool RunPackageSetup(TStubRun& run, std::string extractFolder, const std::string& packageFile,
                     const std::string& agentName, bool foregroundOp, const std::string& extraArgs);

// Removes the roomier drive's work folder when one was made.
void RemoveAlternateWorkFolder(const TStubRun& run);

// ---- Error boundary ---------------------------------------------------------

// The exit code of a stub that ended unexpectedly.
constexpr int kUnexpectedEndExitCode = 255;

// Installs the handlers for an allocation that cannot be met, for terminate
// and for an unhandled system exception; called first thing at start.
void InstallErrorBoundary();

// Traces `what`, removes the run's temporary folders, tells the user (unless
// the run is hidden or an agent) and ends the process with
// kUnexpectedEndExitCode.
[[noreturn]] void EndUnexpectedly(const char* what);

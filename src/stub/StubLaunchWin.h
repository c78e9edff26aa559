// Starting the setup engine from the extraction folder and waiting for it.
#pragma once

#include <windows.h>

#include <string>

// The engine's show state: shown in a foreground run, hidden otherwise.
constexpr int kEngineShowForeground = SW_SHOW;
constexpr int kEngineShowHidden = SW_HIDE;

// Waits, serving messages, until the process has ended.
void WaitForProcessEnd(HANDLE process);

struct TStubRun;

// Starts the engine named by the launch record, waits for it and its
// dialogs, stores its exit code as the run's; true when the engine
// signalled success by deleting the launch atom.
bool LaunchSetupEngine(TStubRun& run, const std::string& extractFolder, const std::string& launchRecord,
                       const std::string& extraArgs, bool foregroundOp);

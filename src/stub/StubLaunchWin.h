// Starting the setup engine from the extraction folder and waiting for it.
#pragma once

#include <windows.h>

#include <string>

// Starts a command line with the given show state; the process handle, or
// nullptr when it could not be started.
HANDLE StartProcess(const std::string& commandLine, int showState);
// Waits, serving messages, until the process has ended.
void WaitForProcessEnd(HANDLE process);

// Starts the engine named by the launch record, waits for it and its
// dialogs, stores its exit code as the stub's; true when the engine
// signalled success by deleting the launch atom.
bool LaunchSetupEngine(const std::string& extractFolder, const std::string& launchRecord,
                       const std::string& extraArgs, bool foregroundOp);

// Lends the update cycle (agent/) the stub's window, run log, listener and
// setup run; called by the resident copy before its window starts.
#pragma once

void InstallAgentHost();

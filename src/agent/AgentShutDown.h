// The product's shut-down for an update and its restart afterwards, and the
// agent's own restart after a successful update.
#pragma once

#include <string>

struct TAgent;

struct TProductStop {
    std::string path;            // the product's program as the INFO file names it, expanded
    bool restart = false;        // it ran, was stopped, and is to be started again
    bool stopRequested = false;  // the agent was asked to stop meanwhile: no update
};

// Stops the running product the INFO file's way (a box that asks the user
// to close it, WM_CLOSE, WM_QUIT, termination or nothing) and waits for it.
TProductStop ShutDownProcess(TAgent& a);
// After the setup run: tells the user, asks about the restart when the
// product was stopped, and starts it again.
void FinishAndRestart(TAgent& a, bool ran, const TProductStop& stop);
// Starts a fresh resident agent (the update may have replaced this one)
// and ends this one; an agent due to end anyway only ends.
void ReStartAutoUpdateExe(TAgent& a);

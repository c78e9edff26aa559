// The stub's one top-level window: the setup's progress window, or the
// agent's hidden message endpoint and one-second clock.
#pragma once

#include <windows.h>

#include <string>

struct TStubRun;

// Registers the class, creates the window hidden, runs the message loop
// until the run ends, then stops the timer and any download.
void RunStartupWindow(TStubRun& run);

LRESULT CALLBACK StartupWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

// First call only asks a running download to stop (false); a second one
// lets the window close (true), except while a setup run is busy: then every
// close is refused (false), as closing would delete the temporary folder
// under the running extraction or engine.
bool CloseMainWindow(const TStubRun& run);
void DestroyMainWindow(TStubRun& run);

void SetStatusText(TStubRun& run, const std::string& text, const std::string& fontName, int charset,
                   int sizePoints);

void ShowStartupWindow(TStubRun& run, bool show);
void ShowActivityBar(const TStubRun& run, bool show);

// The window's one-second clock: the agent's step, or the setup run on its
// first tick.
constexpr UINT_PTR kRunTimer = 1;
// The timer that hands the progress bars the steps counted since they were
// last set, when steps come faster than they are worth drawing.
constexpr UINT_PTR kProgressRepaintTimer = 2;

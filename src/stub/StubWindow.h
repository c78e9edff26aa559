// The stub's one top-level window: the setup's progress window, or the
// agent's hidden message endpoint and one-second clock.
#pragma once

#include <windows.h>

#include <string>

// Registers the class, creates the window hidden, runs the message loop
// until the run ends, then stops the timer and any download. (In a
// namespace: the global name belongs to the platform's program entry.)
namespace StubWin {
void WinMain();
}  // namespace StubWin

LRESULT CALLBACK StartupWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

// First call only asks a running download to stop (false); a second one
// lets the window close (true), except while a setup run is busy: then every
// close is refused (false), as closing would delete the temporary folder
// under the running extraction or engine.
bool CloseMainWindow();

// Marks a setup run (extraction, download, the engine's wait) as under way;
// the calls nest.
void SetSetupRunBusy(bool busy);
bool SetupRunBusy();
void DestroyMainWindow();

void SetStatusText(const std::string& text, const std::string& fontName, int charset, int sizePoints);

HWND StartupWindow();
HWND StartupMainBar();
HWND StartupActivityBar();
void ShowStartupWindow(bool show);
void ShowActivityBar(bool show);

// The timer that hands the progress bars the steps counted since they were
// last set, when steps come faster than they are worth drawing (timer 1 is
// the run's one-second clock).
constexpr UINT_PTR kProgressRepaintTimer = 2;
void ShowPendingProgress();

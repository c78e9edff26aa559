#include "stub/StubProgressWin.h"

#include <windows.h>
#include <commctrl.h>

#include "stub/StubProgress.h"
#include "stub/StubStateWin.h"
#include "stub/StubWindowWin.h"

// A bar invalidates and updates itself on every step it takes, hidden or
// not; under Wine that is a few server round trips, about 0.3 ms a step for
// the two bars, which is more than extracting a small file takes. The steps
// are therefore counted and handed to the bars at most every
// kProgressRepaintMs: on the next step after that time, when the repaint
// timer fires, and before the bars are set up again or the window is shown.
// The bars end where the single steps would have left them. With the window
// shown, each setting repaints the main bar, which under Wine takes longer
// than extracting a small file: hence the interval.

void ShowPendingProgress(TStubRun& run)
{
    TStubProgress& p = run.progress;
    if (p.timerSet && run.window.window) KillTimer(run.window.window, kProgressRepaintTimer);
    p.timerSet = false;
    p.lastApplied = GetTickCount();
    if (p.pendingSteps == 0) return;
    if (HWND mainBar = run.window.mainBar) {
        PBRANGE range{};
        SendMessageA(mainBar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
        const int position = static_cast<int>(SendMessageA(mainBar, PBM_GETPOS, 0, 0));
        const int step = static_cast<int>(SendMessageA(mainBar, PBM_GETSTEP, 0, 0));
        SendMessageA(mainBar, PBM_SETPOS, SteppedBarPosition(position, range.iLow, range.iHigh, step, p.pendingSteps),
                     0);
    }
    SendMessageA(run.window.activityBar, PBM_SETPOS, p.activityCounter, 0);
    p.pendingSteps = 0;
}

void ProgressCallback(TStubRun& run, int kind, int max, int position, int step)
{
    HWND mainBar = run.window.mainBar;
    HWND activityBar = run.window.activityBar;
    TStubProgress& p = run.progress;
    if (kind == kProgressSetUp) {
        ShowPendingProgress(run);
        // The range message carries Max in its high word: only the low
        // 16 bits reach the bar.
        SendMessageA(mainBar, PBM_SETRANGE, 0, MAKELPARAM(0, max));
        SendMessageA(mainBar, PBM_SETPOS, position, 0);
        SendMessageA(mainBar, PBM_SETSTEP, step, 0);
        SendMessageA(activityBar, PBM_SETRANGE, 0, MAKELPARAM(0, kActivityTop));
        SendMessageA(activityBar, PBM_SETPOS, 0, 0);
        SendMessageA(activityBar, PBM_SETSTEP, 1, 0);
    } else if (kind == kProgressAdvance) {
        ++p.pendingSteps;
        p.activityCounter = NextActivityPosition(p.activityCounter);
        if (ProgressRepaintDue(GetTickCount(), p.lastApplied)) {
            ShowPendingProgress(run);
        } else if (!p.timerSet && run.window.window) {
            p.timerSet = SetTimer(run.window.window, kProgressRepaintTimer, kProgressRepaintMs, nullptr) != 0;
        }
    }
}

TProgBar& EnsureProgressBar(TStubRun& run)
{
    if (!run.progress.bar)
        run.progress.bar = std::make_unique<TProgBar>(
            [&run](int kind, int, int max, int position, int step, const std::string&) {
                ProgressCallback(run, kind, max, position, step);
            });
    return *run.progress.bar;
}

// Win32 side of the stub's shared pieces: the progress bars of the start-up
// window.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "stub/StubGlob.h"
#include "stub/StubWindow.h"
#include "sys/UtilsWin.h"
#include "sys/LProgBar.h"

namespace {
int gActivityCounter = 0;
std::unique_ptr<TProgBar> gProgressBar;
}  // namespace

namespace {

// A bar invalidates and updates itself on every step it takes, hidden or
// not; under Wine that is a few server round trips, about 0.3 ms a step for
// the two bars, which is more than extracting a small file takes. The steps
// are therefore counted here and handed to the bars at most every
// kRepaintMs: on the next step after that time, when the repaint timer
// fires, and before the bars are set up again or the window is shown. The
// bars end where the single steps would have left them.
constexpr DWORD kRepaintMs = 40;
DWORD gLastApplied = 0;
int gPendingSteps = 0;
bool gTimerSet = false;

}  // namespace

void ShowPendingProgress()
{
    if (gTimerSet && StartupWindow()) KillTimer(StartupWindow(), kProgressRepaintTimer);
    gTimerSet = false;
    gLastApplied = GetTickCount();
    if (gPendingSteps == 0) return;
    if (HWND mainBar = StartupMainBar()) {
        PBRANGE range{};
        SendMessageA(mainBar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
        const int position = static_cast<int>(SendMessageA(mainBar, PBM_GETPOS, 0, 0));
        const int step = static_cast<int>(SendMessageA(mainBar, PBM_GETSTEP, 0, 0));
        SendMessageA(mainBar, PBM_SETPOS, SteppedBarPosition(position, range.iLow, range.iHigh, step, gPendingSteps),
                     0);
    }
    SendMessageA(StartupActivityBar(), PBM_SETPOS, gActivityCounter, 0);
    gPendingSteps = 0;
}

void ProgressCallback(int kind, int /*min*/, int max, int position, int step, const std::string& /*text*/)
{
    HWND mainBar = StartupMainBar();
    HWND activityBar = StartupActivityBar();
    if (kind == 0) {
        ShowPendingProgress();
        // The range message carries Max in its high word: only the low
        // 16 bits reach the bar.
        SendMessageA(mainBar, PBM_SETRANGE, 0, MAKELPARAM(0, max));
        SendMessageA(mainBar, PBM_SETPOS, position, 0);
        SendMessageA(mainBar, PBM_SETSTEP, step, 0);
        SendMessageA(activityBar, PBM_SETRANGE, 0, MAKELPARAM(0, 5));
        SendMessageA(activityBar, PBM_SETPOS, 0, 0);
        SendMessageA(activityBar, PBM_SETSTEP, 1, 0);
    } else if (kind == 1) {
        ++gPendingSteps;
        gActivityCounter = NextActivityPosition(gActivityCounter);
        if (GetTickCount() - gLastApplied >= kRepaintMs) {
            ShowPendingProgress();
        } else if (!gTimerSet && StartupWindow()) {
            gTimerSet = SetTimer(StartupWindow(), kProgressRepaintTimer, kRepaintMs, nullptr) != 0;
        }
    }
}

TProgBar& EnsureProgressBar()
{
    if (!gProgressBar) gProgressBar = std::make_unique<TProgBar>(&ProgressCallback);
    return *gProgressBar;
}

// Win32 side of the stub's shared pieces: the run log writer, the progress
// bars of the start-up window and the outside listener.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "stub/StubGlob.h"
#include "stub/StubWindow.h"
#include "sys/UtilsWin.h"
#include "ui/LProgBar.h"

namespace {
std::string gRunLogFile;
HWND gListenerWindow = nullptr;
UINT gListenerMessage = 0;
int gActivityCounter = 0;
std::unique_ptr<TProgBar> gProgressBar;
}  // namespace

std::string RunLogFileName()
{
    if (gRunLogFile.empty()) gRunLogFile = RunLogFileNameFor(OwnPath());
    return gRunLogFile;
}

void RunLogLine(const std::string& message)
{
    if (!RunLogEnabled()) return;
    std::string line = RunLogLineText(FormatLogStamp(-1), GetCurrentThreadId(), LogIndent(), message);
    AppendTextToFile(RunLogFileName(), line, true, 0);
}

namespace {

// A visible bar repaints on every step, and under a slow display that costs
// more than extracting a small file. The bars keep taking every step, but
// while steps come faster than kRepaintMs their drawing is switched off, and
// the repaint timer shows the latest state shortly after.
constexpr DWORD kRepaintMs = 40;
DWORD gLastRepaint = 0;
bool gRedrawOff = false;

// WM_SETREDRAW works through the WS_VISIBLE bit: only bars that are shown
// may take part, or switching drawing back on would show a hidden bar.
HWND gPausedBars[2] = {nullptr, nullptr};

void SetBarsRedraw(bool on)
{
    if (!on) {
        int n = 0;
        for (HWND bar : {StartupMainBar(), StartupActivityBar()}) {
            if (bar && IsWindowVisible(bar)) {
                SendMessageA(bar, WM_SETREDRAW, FALSE, 0);
                gPausedBars[n++] = bar;
            }
        }
    } else {
        for (HWND& bar : gPausedBars) {
            if (!bar) continue;
            SendMessageA(bar, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(bar, nullptr, TRUE);
            bar = nullptr;
        }
    }
    gRedrawOff = !on;
}

void GateRepaint()
{
    const DWORD now = GetTickCount();
    if (gRedrawOff) return;  // the timer is already on its way
    if (now - gLastRepaint >= kRepaintMs) {
        gLastRepaint = now;
        return;
    }
    HWND wnd = StartupWindow();
    if (!wnd || !IsWindowVisible(wnd)) return;
    SetBarsRedraw(false);
    SetTimer(wnd, kProgressRepaintTimer, kRepaintMs, nullptr);
}

}  // namespace

void ShowPendingProgress()
{
    if (StartupWindow()) KillTimer(StartupWindow(), kProgressRepaintTimer);
    if (gRedrawOff) SetBarsRedraw(true);
    gLastRepaint = GetTickCount();
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
        GateRepaint();
        SendMessageA(mainBar, PBM_STEPIT, 0, 0);
        gActivityCounter = NextActivityPosition(gActivityCounter);
        SendMessageA(activityBar, PBM_SETPOS, gActivityCounter, 0);
    }
}

TProgBar& EnsureProgressBar()
{
    if (!gProgressBar) gProgressBar = std::make_unique<TProgBar>(&ProgressCallback);
    return *gProgressBar;
}

void SetListener(uintptr_t window, uint32_t message)
{
    gListenerWindow = reinterpret_cast<HWND>(window);
    gListenerMessage = message;
}

void NotifyListener(int code, intptr_t value)
{
    if (gListenerWindow && gListenerMessage) PostMessageA(gListenerWindow, gListenerMessage, code, value);
}

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

void ProgressCallback(int kind, int /*min*/, int max, int position, int step, const std::string& /*text*/)
{
    HWND mainBar = StartupMainBar();
    HWND activityBar = StartupActivityBar();
    if (kind == 0) {
        // The range message carries Max in its high word: only the low
        // 16 bits reach the bar.
        SendMessageA(mainBar, PBM_SETRANGE, 0, MAKELPARAM(0, max));
        SendMessageA(mainBar, PBM_SETPOS, position, 0);
        SendMessageA(mainBar, PBM_SETSTEP, step, 0);
        SendMessageA(activityBar, PBM_SETRANGE, 0, MAKELPARAM(0, 5));
        SendMessageA(activityBar, PBM_SETPOS, 0, 0);
        SendMessageA(activityBar, PBM_SETSTEP, 1, 0);
    } else if (kind == 1) {
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

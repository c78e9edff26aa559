// The start-up window: class, children, one-second timer, message loop.
#include "stub/StubWindow.h"

#include <commctrl.h>

#include "agent/AgentCycle.h"
#include "agent/AgentProtocol.h"
#include "net/InetHTTP.h"
#include "stub/StubGlob.h"
#include "stub/StubLayout.h"
#include "stub/StubRunWin.h"
#include "stub/StubState.h"
#include "stub/StubTexts.h"
#include "sys/CommandLine.h"
#include "sys/Files.h"
#include "sys/LWriteln.h"
#include "sys/UtilsWin.h"
#include "ui/LMsgBox.h"

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr DWORD kWindowStyle = 0x02C80000;  // caption, system menu, clip children

HWND gWindow = nullptr;
HWND gLabel = nullptr;
HWND gMainBar = nullptr;
HWND gActivityBar = nullptr;
HFONT gLabelFont = nullptr;
bool gQuit = false;
int gRunBusy = 0;

void ReplaceLabelFont(HFONT font)
{
    SendMessageA(gLabel, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (gLabelFont) DeleteObject(gLabelFont);
    gLabelFont = font;
}

void CreateChildren(HWND wnd)
{
    HINSTANCE inst = GetModuleHandleA(nullptr);
    const bool rtl = IsRightToLeftCharset(StubCharset());
    const TStartupLayout l = StartupLayout(rtl);
    gLabel = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, l.label.x, l.label.y, l.label.width,
                             l.label.height, wnd, nullptr, inst, nullptr);
    gMainBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, l.mainBar.x, l.mainBar.y,
                               l.mainBar.width, l.mainBar.height, wnd, nullptr, inst, nullptr);
    gActivityBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, l.activityBar.x, l.activityBar.y,
                                   l.activityBar.width, l.activityBar.height, wnd, nullptr, inst, nullptr);
    ReplaceLabelFont(CreateFontA(-11, 0, 0, 0, FW_DONTCARE, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma"));
    SetTimer(wnd, kTimerId, 1000, nullptr);
}

void PaintStartupWindow(HWND wnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT rc;
    GetClientRect(wnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MainIcon");
    if (icon) DrawIcon(dc, 18, 20, icon);
    EndPaint(wnd, &ps);
}

void OnTimer(HWND wnd)
{
    if (ThisIs_AutoUpdateProg())
        AgentTimerStep(wnd);
    else
        StartSetupRun(wnd);
}

void RegisterStartupClass(const std::string& className)
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = StartupWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconA(wc.hInstance, "MainIcon");
    wc.lpszClassName = className.c_str();
    RegisterClassA(&wc);
}

}  // namespace

HWND StartupWindow() { return gWindow; }
HWND StartupMainBar() { return gMainBar; }
HWND StartupActivityBar() { return gActivityBar; }

void ShowStartupWindow(bool show)
{
    ShowPendingProgress();
    if (gWindow) ShowWindow(gWindow, show ? SW_SHOWNORMAL : SW_HIDE);
    if (show && gWindow) {
        SetForegroundWindow(gWindow);
        UpdateWindow(gWindow);
    }
}

void ShowActivityBar(bool show)
{
    if (gActivityBar) ShowWindow(gActivityBar, show ? SW_SHOW : SW_HIDE);
}

void SetStatusText(const std::string& text, const std::string& fontName, int charset, int sizePoints)
{
    if (!gLabel) return;
    if (IsRightToLeftCharset(charset)) {
        SetWindowLongA(gLabel, GWL_EXSTYLE, WS_EX_RTLREADING);
        SetWindowLongA(gLabel, GWL_STYLE, 0x50000002);
    } else {
        SetWindowLongA(gLabel, GWL_EXSTYLE, 0);
        SetWindowLongA(gLabel, GWL_STYLE, 0x50000000);
    }
    HDC screen = GetDC(nullptr);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int height = -MulDiv(sizePoints, dpiY, 72);
    ReplaceLabelFont(CreateFontA(height, 0, 0, 0, FW_DONTCARE, 0, 0, 0, static_cast<DWORD>(charset), 0, 0, 0, 0,
                                 fontName.c_str()));
    SetWindowTextA(gLabel, text.c_str());
}

void SetSetupRunBusy(bool busy) { gRunBusy += busy ? 1 : -1; }
bool SetupRunBusy() { return gRunBusy > 0; }

bool CloseMainWindow()
{
    RunLogLine(".. CloseMainWindow() - Start");
    bool r = DownloadAbortRequested();
    if (!r) SetDownloadAbort(true);
    if (r && SetupRunBusy()) {
        // The run serves the queue from inside its extraction and its waits:
        // a window destroyed now would delete the folder under them. The run
        // ends (and closes the window) on its own.
        Trace("- close refused while the setup runs -");
        r = false;
    }
    RunLogLine(".. CloseMainWindow() - End");
    return r;
}

void DestroyMainWindow()
{
    RunLogLine(".. DestroyMainWindow() - Start");
    SetDownloadAbort(true);
    DeleteTree(MadeSetupTempFolder(), true);
    PostQuitMessage(0);
    gQuit = true;
    RunLogLine(".. DestroyMainWindow() - End");
}

LRESULT CALLBACK StartupWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        CreateChildren(wnd);
        break;
    case WM_PAINT:
        PaintStartupWindow(wnd);
        return 0;
    case WM_TIMER:
        if (wp == kProgressRepaintTimer)
            ShowPendingProgress();
        else
            OnTimer(wnd);
        break;
    case WM_CLOSE:
        if (!CloseMainWindow()) return 0;
        break;
    case WM_DESTROY:
        Trace("- wm_Destroy -");
        DestroyMainWindow();
        break;
    case WM_QUIT:
        Trace("- wm_Quit -");
        DestroyMainWindow();
        break;
    case wm_LocalMsg:
        SetListener(static_cast<uintptr_t>(wp), static_cast<uint32_t>(lp));
        NotifyListener(kListenerSenderWindow, reinterpret_cast<intptr_t>(wnd));
        NotifyListener(kListenerAgentMessage, wm_AgentMsg);
        break;
    default:
        if (msg != 0 && msg == AutoPlayCancelMessage()) return 1;
        if (LRESULT r = 0; AgentWindowMessage(msg, wp, lp, r) && msg == wm_AgentMsg) return r;
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void StubWin::WinMain()
{
    int64_t sleepX = GetSwitchInt("/SleepX=", -1);
    if (sleepX >= 0) AgentState().autoUpdateTimerCount = static_cast<int32_t>(-sleepX);

    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    const std::string className = StubWindowClassName();
    RegisterStartupClass(className);

    const std::string caption = StubText(kTextCaption);
    POINT at = CenterInWorkArea(492, 110);
    gWindow = CreateWindowExA(0, className.c_str(), caption.c_str(), kWindowStyle, at.x, at.y, 492, 110, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    SetMsgBoxFont(StubFontName(), StubFontSize(), StubCharset());
    ForwardAppMessagesTo(reinterpret_cast<uintptr_t>(gWindow));

    if (gWindow) {
        ShowWindow(gWindow, SW_HIDE);
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
            if (gQuit) break;
        }
    }
    if (gWindow) KillTimer(gWindow, kTimerId);
    SetDownloadAbort(true);
    HTTP_Unload();
    NotifyListener(kListenerLoopEnded, 0);
    if (gLabelFont) {
        DeleteObject(gLabelFont);
        gLabelFont = nullptr;
    }
}

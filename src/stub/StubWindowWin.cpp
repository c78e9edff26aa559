// The start-up window: class, children, one-second timer, message loop.
#include "stub/StubWindowWin.h"

#include <commctrl.h>

#include "agent/AgentProtocol.h"
#include "agent/AgentRunLog.h"
#include "agent/ResidentAgentWin.h"
#include "net/InetHTTP.h"
#include "stub/StubProgressWin.h"
#include "stub/StubSetupWin.h"
#include "stub/StubStateWin.h"
#include "stub/StubTexts.h"
#include "stub/StubWindow.h"
#include "sys/Files.h"
#include "sys/LWriteln.h"
#include "sys/UtilsWin.h"
#include "ui/LMsgBox.h"

namespace {

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// The status label's styles: child, visible, and the text right-aligned when
// it is read right to left.
constexpr LONG kLabelStyle = WS_CHILD | WS_VISIBLE;
constexpr LONG kLabelStyleRightToLeft = WS_CHILD | WS_VISIBLE | SS_RIGHT;

void ReplaceLabelFont(TStubWindow& w, HFONT font)
{
    SendMessageA(w.label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (w.labelFont) DeleteObject(w.labelFont);
    w.labelFont = font;
}

void CreateChildren(TStubRun& run, HWND wnd)
{
    TStubWindow& w = run.window;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    const bool rtl = IsRightToLeftCharset(StubCharset(*run.package));
    const TStartupLayout l = StartupLayout(rtl);
    w.label = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, l.label.x, l.label.y, l.label.width,
                              l.label.height, wnd, nullptr, inst, nullptr);
    w.mainBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, l.mainBar.x, l.mainBar.y,
                                l.mainBar.width, l.mainBar.height, wnd, nullptr, inst, nullptr);
    w.activityBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, l.activityBar.x, l.activityBar.y,
                                    l.activityBar.width, l.activityBar.height, wnd, nullptr, inst, nullptr);
    ReplaceLabelFont(w, CreateFontA(-11, 0, 0, 0, FW_DONTCARE, 0, 0, 0, 0, 0, 0, 0, 0, "Tahoma"));
    SetTimer(wnd, kRunTimer, 1000, nullptr);
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

void OnTimer(TStubRun& run, HWND wnd)
{
    if (run.isAgent)
        run.agent->Tick();
    else
        StartSetupRun(run, wnd);
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

void ShowStartupWindow(TStubRun& run, bool show)
{
    ShowPendingProgress(run);
    HWND wnd = run.window.window;
    if (wnd) ShowWindow(wnd, show ? SW_SHOWNORMAL : SW_HIDE);
    if (show && wnd) {
        SetForegroundWindow(wnd);
        UpdateWindow(wnd);
    }
}

void ShowActivityBar(const TStubRun& run, bool show)
{
    if (run.window.activityBar) ShowWindow(run.window.activityBar, show ? SW_SHOW : SW_HIDE);
}

void SetStatusText(TStubRun& run, const std::string& text, const std::string& fontName, int charset,
                   int sizePoints)
{
    HWND label = run.window.label;
    if (!label) return;
    if (IsRightToLeftCharset(charset)) {
        SetWindowLongA(label, GWL_EXSTYLE, WS_EX_RTLREADING);
        SetWindowLongA(label, GWL_STYLE, kLabelStyleRightToLeft);
    } else {
        SetWindowLongA(label, GWL_EXSTYLE, 0);
        SetWindowLongA(label, GWL_STYLE, kLabelStyle);
    }
    HDC screen = GetDC(nullptr);
    int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int height = -MulDiv(sizePoints, dpiY, 72);
    ReplaceLabelFont(run.window, CreateFontA(height, 0, 0, 0, FW_DONTCARE, 0, 0, 0, static_cast<DWORD>(charset), 0,
                                             0, 0, 0, fontName.c_str()));
    SetWindowTextA(label, text.c_str());
}

bool CloseMainWindow(const TStubRun& run)
{
    RunLogLine(".. CloseMainWindow() - Start");
    bool r = DownloadAbortRequested();
    if (!r) SetDownloadAbort(true);
    if (r && run.busy > 0) {
        // The run serves the queue from inside its extraction and its waits:
        // a window destroyed now would delete the folder under them. The run
        // ends (and closes the window) on its own.
        Trace("- close refused while the setup runs -");
        r = false;
    }
    RunLogLine(".. CloseMainWindow() - End");
    return r;
}

void DestroyMainWindow(TStubRun& run)
{
    RunLogLine(".. DestroyMainWindow() - Start");
    SetDownloadAbort(true);
    DeleteTree(run.folders.setup, true);
    PostQuitMessage(0);
    run.window.quit = true;
    RunLogLine(".. DestroyMainWindow() - End");
}

LRESULT CALLBACK StartupWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    // Windows gives the procedure no context: the run is the active one.
    TStubRun* active = ActiveRun();
    if (!active) return DefWindowProcA(wnd, msg, wp, lp);
    TStubRun& run = *active;
    switch (msg) {
    case WM_CREATE:
        CreateChildren(run, wnd);
        break;
    case WM_PAINT:
        PaintStartupWindow(wnd);
        return 0;
    case WM_TIMER:
        if (wp == kProgressRepaintTimer)
            ShowPendingProgress(run);
        else
            OnTimer(run, wnd);
        break;
    case WM_CLOSE:
        if (!CloseMainWindow(run)) return 0;
        break;
    case WM_DESTROY:
        Trace("- wm_Destroy -");
        DestroyMainWindow(run);
        break;
    case WM_QUIT:
        Trace("- wm_Quit -");
        DestroyMainWindow(run);
        break;
    default:
        if (msg != 0 && msg == AutoPlayCancelMessage()) return 1;
        if (LRESULT r = 0; run.agent && run.agent->WindowMessage(wnd, msg, wp, lp, r)) return r;
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void RunStartupWindow(TStubRun& run)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    RegisterStartupClass(run.windowClass);

    const TGFileInfo& package = *run.package;
    const std::string caption = StubText(package, kTextCaption);
    POINT at = CenterInWorkArea(492, 110);
    HWND wnd = CreateWindowExA(0, run.windowClass.c_str(), caption.c_str(), kWindowStyle, at.x, at.y, 492, 110,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    run.window.window = wnd;
    SetMsgBoxFont(StubFontName(package), StubFontSize(package), StubCharset(package));
    ForwardAppMessagesTo(reinterpret_cast<uintptr_t>(wnd));

    if (wnd) {
        ShowWindow(wnd, SW_HIDE);
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
            if (run.window.quit) break;
        }
        KillTimer(wnd, kRunTimer);
    }
    SetDownloadAbort(true);
    HTTP_Unload();
    NotifyListener(kListenerLoopEnded, 0);
    if (run.window.labelFont) {
        DeleteObject(run.window.labelFont);
        run.window.labelFont = nullptr;
    }
}

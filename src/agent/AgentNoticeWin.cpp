#include "agent/AgentNoticeWin.h"

#include <richedit.h>

#include "agent/AgentNotice.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

// One notice at a time: the window procedure reaches its state here.
struct TInform {
    std::string address;
    HWND window = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;
    bool done = false;
};
TInform gInform;

void LayOut(HWND wnd)
{
    RECT rc;
    GetClientRect(wnd, &rc);
    const TInformLayout l = InformLayout(rc.right, rc.bottom, gInform.button != nullptr);
    if (gInform.edit) MoveWindow(gInform.edit, l.text.x, l.text.y, l.text.width, l.text.height, TRUE);
    if (gInform.button) MoveWindow(gInform.button, l.button.x, l.button.y, l.button.width, l.button.height, TRUE);
}

void Paint(HWND wnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT rc;
    GetClientRect(wnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
    if (gInform.button) {
        const TInformLayout l = InformLayout(rc.right, rc.bottom, true);
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, 0, l.separatorY, nullptr);
        LineTo(dc, rc.right, l.separatorY);
        SelectObject(dc, old);
        DeleteObject(pen);
        RECT band = {0, l.bandTop, rc.right, rc.bottom};
        FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
    }
    EndPaint(wnd, &ps);
}

LRESULT CALLBACK InformProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    // While the notice is shown it may be the agent's only visible window:
    // what other programs post to the agent goes on to its main window.
    if (msg >= WM_USER && msg <= 0x7FFF)
        if (HWND owner = GetWindow(wnd, GW_OWNER)) return SendMessageA(owner, msg, wp, lp);
    switch (msg) {
    case WM_DESTROY:
        gInform.done = true;
        return 1;
    case WM_SIZE:
        LayOut(wnd);
        InvalidateRect(wnd, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        Paint(wnd);
        return 0;
    case WM_COMMAND:
        if (gInform.button && reinterpret_cast<HWND>(lp) == gInform.button) {
            OpenDocument(gInform.address, "", SW_SHOW);
            PostMessageA(wnd, WM_CLOSE, 0, 0);
        }
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

HFONT MakeFont(int height, int charset, const std::string& face)
{
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, static_cast<DWORD>(charset), 0, 0, 0, 32, face.c_str());
}

void RunNotice(HWND owner, const std::string& title, const std::string& buttonText, int charset, int fontSize,
               const std::string& fontFace, int height, int width, const std::string& body)
{
    LoadSystemLibrary("RICHED32.DLL");
    HINSTANCE inst = GetModuleHandleA(nullptr);
    HDC screen = GetDC(nullptr);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT buttonFont = MakeFont(-MulDiv(fontSize, dpiY, 72), charset, fontFace);
    HFONT textFont = MakeFont(15, charset, InformTextFace(fontFace));

    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = InformProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kInformClass;
    RegisterClassA(&wc);

    width = InformSize(width);
    height = InformSize(height);
    gInform.done = false;
    gInform.edit = gInform.button = nullptr;
    gInform.window = CreateWindowExA(WS_EX_DLGMODALFRAME, kInformClass, title.c_str(), 0x10CC0000,
                                     InformCentred(GetSystemMetrics(SM_CXSCREEN), width),
                                     InformCentred(GetSystemMetrics(SM_CYSCREEN), height), width, height, owner,
                                     nullptr, inst, nullptr);
    if (gInform.window) {
        RECT rc;
        GetClientRect(gInform.window, &rc);
        const bool hasButton = !gInform.address.empty();
        const TInformLayout l = InformLayout(rc.right, rc.bottom, hasButton);
        gInform.edit = CreateWindowExA(0, "RICHEDIT", "", 0x50201804, l.text.x, l.text.y, l.text.width,
                                       l.text.height, gInform.window, nullptr, inst, nullptr);
        SendMessageA(gInform.edit, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
        SendMessageA(gInform.edit, WM_SETFONT, reinterpret_cast<WPARAM>(textFont), TRUE);
        SendMessageA(gInform.edit, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
        SetWindowTextA(gInform.edit, body.c_str());
        if (hasButton) {
            gInform.button = CreateWindowExA(0, "Button", buttonText.c_str(), 0x50000000, l.button.x, l.button.y,
                                             l.button.width, l.button.height, gInform.window,
                                             reinterpret_cast<HMENU>(1), inst, nullptr);
            SendMessageA(gInform.button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), TRUE);
            SetWindowLongPtrA(gInform.button, GWLP_USERDATA, 1);
            SetFocus(gInform.button);
            SetActiveWindow(gInform.window);
            SendMessageA(gInform.button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        }
        MSG m;
        while (!gInform.done && GetMessageA(&m, nullptr, 0, 0) > 0) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        // A quit request met here belongs to the agent's own loop; the
        // notice goes with it.
        if (!gInform.done) {
            DestroyWindow(gInform.window);
            PostQuitMessage(0);
        }
    }
    gInform.window = gInform.edit = gInform.button = nullptr;
    UnregisterClassA(kInformClass, inst);
    DeleteObject(buttonFont);
    DeleteObject(textFont);
}

}  // namespace

bool ShowInform(HWND owner, const std::string& title, const std::string& buttonText, int charset, int fontSize,
                const std::string& fontFace, int height, int width, const std::string& address,
                const std::string& body)
{
    gInform.address = InformAddress(address);
    switch (InformActionOf(body, gInform.address)) {
    case TInformAction::OpenAddress:
        OpenDocument(gInform.address, "", SW_SHOW);
        return true;
    case TInformAction::ShowWindow:
        RunNotice(owner, title, buttonText, charset, fontSize, fontFace, height, width, body);
        return true;
    case TInformAction::None:
        break;
    }
    return false;
}

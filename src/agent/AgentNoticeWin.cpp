#include "agent/AgentNoticeWin.h"

#include <richedit.h>

#include "agent/AgentNotice.h"
#include "sys/Handles.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

// The notice while it is shown. The window procedure finds it through the
// window's user data, set as the window is created.
struct TNotice {
    std::string address;  // the button's web address; "" for no button
    HWND window = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;
    bool done = false;
};

TNotice* NoticeOf(HWND wnd) { return reinterpret_cast<TNotice*>(GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

void LayOut(const TNotice& n, HWND wnd)
{
    RECT rc;
    GetClientRect(wnd, &rc);
    const TInformLayout l = InformLayout(rc.right, rc.bottom, n.button != nullptr);
    if (n.edit) MoveWindow(n.edit, l.text.x, l.text.y, l.text.width, l.text.height, TRUE);
    if (n.button) MoveWindow(n.button, l.button.x, l.button.y, l.button.width, l.button.height, TRUE);
}

void Paint(const TNotice& n, HWND wnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT rc;
    GetClientRect(wnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
    if (n.button) {
        const TInformLayout l = InformLayout(rc.right, rc.bottom, true);
        GdiObject pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
        HGDIOBJ old = SelectObject(dc, pen.Get());
        MoveToEx(dc, 0, l.separatorY, nullptr);
        LineTo(dc, rc.right, l.separatorY);
        SelectObject(dc, old);
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
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(wnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    TNotice* n = NoticeOf(wnd);
    if (!n) return DefWindowProcA(wnd, msg, wp, lp);
    switch (msg) {
    case WM_DESTROY:
        n->done = true;
        return 1;
    case WM_SIZE:
        LayOut(*n, wnd);
        InvalidateRect(wnd, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        Paint(*n, wnd);
        return 0;
    case WM_COMMAND:
        if (n->button && reinterpret_cast<HWND>(lp) == n->button) {
            OpenDocument(n->address, "", SW_SHOW);
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

int ScreenDpiY()
{
    HDC screen = GetDC(nullptr);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpiY;
}

void RegisterNoticeClass(HINSTANCE inst)
{
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = InformProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kInformClass;
    RegisterClassA(&wc);
}

// The rich text with the body and, with an address, the button that opens
// it, as the default button with the focus.
void CreateNoticeChildren(TNotice& n, HINSTANCE inst, const std::string& body, const std::string& buttonText,
                          HFONT textFont, HFONT buttonFont)
{
    RECT rc;
    GetClientRect(n.window, &rc);
    const bool hasButton = !n.address.empty();
    const TInformLayout l = InformLayout(rc.right, rc.bottom, hasButton);
    n.edit = CreateWindowExA(0, "RICHEDIT", "", 0x50201804, l.text.x, l.text.y, l.text.width, l.text.height,
                             n.window, nullptr, inst, nullptr);
    SendMessageA(n.edit, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
    SendMessageA(n.edit, WM_SETFONT, reinterpret_cast<WPARAM>(textFont), TRUE);
    SendMessageA(n.edit, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
    SetWindowTextA(n.edit, body.c_str());
    if (!hasButton) return;
    n.button = CreateWindowExA(0, "Button", buttonText.c_str(), 0x50000000, l.button.x, l.button.y, l.button.width,
                               l.button.height, n.window, reinterpret_cast<HMENU>(1), inst, nullptr);
    SendMessageA(n.button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), TRUE);
    SetWindowLongPtrA(n.button, GWLP_USERDATA, 1);
    SetFocus(n.button);
    SetActiveWindow(n.window);
    SendMessageA(n.button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// Until the notice is closed. A quit request met here belongs to the
// agent's own loop; the notice goes with it.
void RunNoticeLoop(TNotice& n)
{
    MSG m;
    while (!n.done && GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (!n.done) {
        DestroyWindow(n.window);
        PostQuitMessage(0);
    }
}

void RunNotice(HWND owner, const std::string& title, const std::string& buttonText, int charset, int fontSize,
               const std::string& fontFace, int height, int width, const std::string& address,
               const std::string& body)
{
    LoadSystemLibrary("RICHED32.DLL");
    HINSTANCE inst = GetModuleHandleA(nullptr);
    GdiObject buttonFont(MakeFont(-MulDiv(fontSize, ScreenDpiY(), 72), charset, fontFace));
    GdiObject textFont(MakeFont(15, charset, InformTextFace(fontFace)));
    RegisterNoticeClass(inst);

    TNotice n;
    n.address = address;
    width = InformSize(width);
    height = InformSize(height);
    n.window = CreateWindowExA(WS_EX_DLGMODALFRAME, kInformClass, title.c_str(), 0x10CC0000,
                               InformCentred(GetSystemMetrics(SM_CXSCREEN), width),
                               InformCentred(GetSystemMetrics(SM_CYSCREEN), height), width, height, owner, nullptr,
                               inst, &n);
    if (n.window) {
        CreateNoticeChildren(n, inst, body, buttonText, static_cast<HFONT>(textFont.Get()),
                             static_cast<HFONT>(buttonFont.Get()));
        RunNoticeLoop(n);
    }
    UnregisterClassA(kInformClass, inst);
}

}  // namespace

bool ShowInform(HWND owner, const std::string& title, const std::string& buttonText, int charset, int fontSize,
                const std::string& fontFace, int height, int width, const std::string& address,
                const std::string& body)
{
    const std::string web = InformAddress(address);
    switch (InformActionOf(body, web)) {
    case TInformAction::OpenAddress:
        OpenDocument(web, "", SW_SHOW);
        return true;
    case TInformAction::ShowWindow:
        RunNotice(owner, title, buttonText, charset, fontSize, fontFace, height, width, web, body);
        return true;
    case TInformAction::None:
        break;
    }
    return false;
}

// The message box window (Windows half of LMsgBox): creation and layout,
// painting, the modal loop with its key handling, and the wrappers.
#include <windows.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "sys/Handles.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "ui/LMsgBox.h"
#include "ui/LMsgBoxLayout.h"

namespace {

constexpr UINT_PTR kTimeoutTimer = 1;
constexpr COLORREF kBandColour = RGB(0, 78, 152);
constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;

struct TFontSettings {
    std::string Face = "Tahoma";
    int Size = 8;
    int Charset = DEFAULT_CHARSET;
};
TFontSettings gFont;
// Where messages for the application that reach a box go on to.
HWND gForward = nullptr;
// The box whose modal loop runs (the innermost, when a box opens another).
HWND gOpenBox = nullptr;

// "RICHED32.DLL" stays loaded for the whole process once a box needed it.
HMODULE gRichEditLibrary = nullptr;

HMODULE LoadRichEdit()
{
    HMODULE h = ::LoadLibraryA("RICHED32.DLL");
    return reinterpret_cast<uintptr_t>(h) <= 32 ? nullptr : h;
}

// Everything one open box needs; it lives on MsgBox's stack and the window
// finds it through its user data.
struct TBoxState {
    HWND Box = nullptr;
    HWND Edit = nullptr;
    bool RichEdit = false;
    GdiObject Font;
    std::vector<HWND> Buttons;  // left to right
    std::vector<std::string> Captions;
    int TimeoutMs = 0;
    bool TimerStarted = false;
    int Result = kResultNone;
    HWND Remembered = nullptr;
    TBoxSize Requested;  // the rich edit's last resize request
    HICON Icon = nullptr;
    bool Done = false;
    uint32_t Style = 0;
};

TBoxState* StateOf(HWND wnd) { return reinterpret_cast<TBoxState*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

void Choose(TBoxState& s, int index)
{
    if (index < 0 || index >= static_cast<int>(s.Buttons.size())) return;
    s.Result = static_cast<int>(::GetWindowLongPtrA(s.Buttons[index], GWLP_USERDATA));
    ::PostMessageA(s.Box, WM_CLOSE, 0, 0);
}

int FocusedButton(const TBoxState& s)
{
    const HWND focus = ::GetFocus();
    for (size_t i = 0; i < s.Buttons.size(); ++i)
        if (s.Buttons[i] == focus) return static_cast<int>(i);
    return -1;
}

void Paint(HWND wnd, const TBoxState& s)
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(wnd, &ps);
    RECT rc;
    ::GetClientRect(wnd, &rc);
    const int cw = rc.right;
    const int ch = rc.bottom;
    auto fill = [dc](int left, int top, int right, int bottom, HBRUSH brush) {
        RECT r{left, top, right, bottom};
        ::FillRect(dc, &r, brush);
    };
    fill(0, 0, cw, ch, ::GetSysColorBrush(COLOR_WINDOW));
    fill(0, ch - 37, cw, ch - 36, ::GetSysColorBrush(COLOR_3DDKSHADOW));
    fill(0, ch - 36, cw, ch - 35, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    fill(0, ch - 35, cw, ch, ::GetSysColorBrush(COLOR_BTNFACE));
    GdiObject band(::CreateSolidBrush(kBandColour));
    fill(0, 0, kBandWidth, ch - 37, static_cast<HBRUSH>(band.Get()));
    if (s.Icon) ::DrawIcon(dc, 11, 20, s.Icon);
    ::EndPaint(wnd, &ps);
}

LRESULT CALLBACK BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    // No box uses the application's message range; another program that
    // posts to this program's main window finds the box when it is the
    // only visible window, and what it says is meant for the application.
    if (msg >= WM_USER && msg <= 0x7FFF && gForward && gForward != wnd && ::IsWindow(gForward))
        return ::SendMessageA(gForward, msg, wp, lp);
    TBoxState* s = StateOf(wnd);
    if (!s) return ::DefWindowProcA(wnd, msg, wp, lp);

    const UINT autoPlay = AutoPlayCancelMessage();
    if (autoPlay != 0 && msg == autoPlay) return 1;

    switch (msg) {
        case WM_CREATE:
            s->Box = wnd;
            if (s->TimeoutMs > 0) s->TimerStarted = ::SetTimer(wnd, kTimeoutTimer, s->TimeoutMs, nullptr) != 0;
            return 0;
        case WM_PAINT:
            Paint(wnd, *s);
            return 0;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
            if (hdr && hdr->code == EN_REQUESTRESIZE) {
                const RECT& r = reinterpret_cast<const REQRESIZE*>(lp)->rc;
                s->Requested = {r.right - r.left, r.bottom - r.top};
            }
            return 0;
        }
        case WM_COMMAND:
            for (size_t i = 0; i < s->Buttons.size(); ++i)
                if (reinterpret_cast<HWND>(lp) == s->Buttons[i] && HIWORD(wp) == BN_CLICKED)
                    Choose(*s, static_cast<int>(i));
            return 0;
        case WM_TIMER:
            if (wp == kTimeoutTimer) Choose(*s, 0);
            return 0;
        case WM_SYSCOMMAND:
            // Alt+F4 and the title bar would still close a box whose Close
            // command is greyed.
            if ((wp & 0xFFF0) == SC_CLOSE && (s->Style & kStyleNoClose)) return 0;
            break;
        case WM_CLOSE:
            if (s->Remembered) {
                ::EnableWindow(s->Remembered, TRUE);
                ::SetActiveWindow(s->Remembered);
                ::SetFocus(s->Remembered);
            }
            if (s->TimerStarted) ::KillTimer(wnd, kTimeoutTimer);
            s->TimerStarted = false;
            break;
        case WM_DESTROY:
            s->Done = true;
            return 1;
    }
    return ::DefWindowProcA(wnd, msg, wp, lp);
}

// Keys of the box and its children, before translation. True: consumed.
bool HandleKey(TBoxState& s, const MSG& m)
{
    if (m.message != WM_KEYDOWN && m.message != WM_CHAR) return false;
    if (m.hwnd != s.Box && !::IsChild(s.Box, m.hwnd)) return false;
    const int count = static_cast<int>(s.Buttons.size());
    if (m.message == WM_CHAR) {
        const int index = ButtonForKey(s.Captions, static_cast<char>(m.wParam));
        if (index < 0) return false;
        Choose(s, index);
        return true;
    }
    switch (m.wParam) {
        case VK_LEFT:
        case VK_UP:
            if (count > 0) ::SetFocus(s.Buttons[PreviousButton(FocusedButton(s), count)]);
            return true;
        case VK_TAB:
        case VK_RIGHT:
        case VK_DOWN:
            if (count > 0) ::SetFocus(s.Buttons[NextButton(FocusedButton(s), count)]);
            return true;
        case VK_RETURN: {
            const int index = FocusedButton(s);
            if (index < 0) return false;
            Choose(s, index);
            return true;
        }
        case VK_ESCAPE:
            ::PostMessageA(s.Box, WM_CLOSE, 0, 0);
            return true;
        default:
            if (m.wParam >= 'A' && m.wParam <= 'Z') {
                const int index = ButtonForKey(s.Captions, static_cast<char>(m.wParam));
                if (index < 0) return false;
                Choose(s, index);
                return true;
            }
            return false;
    }
}

TBoxSize OuterSize(HWND wnd)
{
    RECT r;
    ::GetWindowRect(wnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

TBoxSize ClientSize(HWND wnd)
{
    RECT r;
    ::GetClientRect(wnd, &r);
    return {r.right, r.bottom};
}

void Resize(HWND wnd, int width, int height)
{
    ::SetWindowPos(wnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The size the converted text needs in the box font.
TBoxSize MeasureWithFont(const std::string& text, HFONT font)
{
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICA tm{};
    ::GetTextMetricsA(dc, &tm);
    const int lineHeight = LineHeight(tm.tmHeight, tm.tmExternalLeading, gFont.Face);
    const TBoxSize size = MeasureText(text, lineHeight, [dc](const std::string& line) {
        SIZE sz{};
        ::GetTextExtentPoint32A(dc, line.data(), static_cast<int>(line.size()), &sz);
        return static_cast<int>(sz.cx);
    });
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return size;
}

HWND CreateTextControl(TBoxState& s, HINSTANCE instance)
{
    DWORD style = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_WANTRETURN;
    DWORD exStyle = 0;
    if (s.Style & kStyleRightAligned) style |= ES_RIGHT;
    if (s.Style & kStyleRtlReading) exStyle |= WS_EX_RTLREADING;
    HWND edit = ::CreateWindowExA(exStyle, RICHEDIT_CLASS10A, "", style, 86, 30, 100, 13, s.Box, nullptr, instance,
                                  nullptr);
    s.RichEdit = edit != nullptr;
    if (!edit) {
        // Without the rich edit the text still shows, only without bold.
        TracePid({" LMsgBox: no rich edit, plain text shown"});
        edit = ::CreateWindowExA(exStyle, "EDIT", "", style, 86, 30, 100, 13, s.Box, nullptr, instance, nullptr);
    }
    return edit;
}

void SetMarkedText(const TBoxState& s, const TMarkedText& marked)
{
    HWND e = s.Edit;
    if (s.RichEdit) {
        ::SendMessageA(e, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
        ::SendMessageA(e, EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
        ::SendMessageA(e, EM_SETBKGNDCOLOR, 0, ::GetSysColor(COLOR_WINDOW));
    }
    ::SendMessageA(e, WM_SETFONT, reinterpret_cast<WPARAM>(s.Font.Get()), FALSE);
    ::SetWindowTextA(e, marked.Text.c_str());
    if (!s.RichEdit) return;
    CHARRANGE range{};
    if (s.Style & (kStyleRightAligned | kStyleRtlReading)) {
        // The styles alone do not reach the paragraphs of every rich edit:
        // set alignment and reading order on all of them; a control that
        // knows no reading order still takes the alignment.
        range = {0, -1};
        ::SendMessageA(e, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        PARAFORMAT2 pf{};
        pf.cbSize = sizeof pf;
        if (s.Style & kStyleRightAligned) {
            pf.dwMask |= PFM_ALIGNMENT;
            pf.wAlignment = PFA_RIGHT;
        }
        if (s.Style & kStyleRtlReading) {
            pf.dwMask |= PFM_RTLPARA;
            pf.wEffects = PFE_RTLPARA;
        }
        if (!::SendMessageA(e, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)) &&
            (s.Style & kStyleRightAligned)) {
            PARAFORMAT plain{};
            plain.cbSize = sizeof plain;
            plain.dwMask = PFM_ALIGNMENT;
            plain.wAlignment = PFA_RIGHT;
            ::SendMessageA(e, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&plain));
        }
    }
    for (const auto& b : marked.Bold) {
        range = {b.Start, b.End};
        ::SendMessageA(e, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMATA cf{};
        cf.cbSize = sizeof cf;
        cf.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
        cf.dwEffects = CFE_BOLD;
        ::SendMessageA(e, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    }
    range = {0, 0};
    ::SendMessageA(e, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// Sizes the text control from the measurement, widening it for bold text.
void SizeTextControl(TBoxState& s, const TMarkedText& marked)
{
    const TBoxSize measured = MeasureWithFont(marked.Text, static_cast<HFONT>(s.Font.Get()));
    Resize(s.Edit, measured.Width + 10, measured.Height);
    if (!s.RichEdit || marked.Bold.empty()) return;
    const int width = FitBoldWidth(measured, [&s, &measured](int w) {
        Resize(s.Edit, w, measured.Height);
        // Ask for a fresh request: a resize alone does not always send one.
        ::SendMessageA(s.Edit, EM_REQUESTRESIZE, 0, 0);
        return s.Requested;
    });
    Resize(s.Edit, width, measured.Height);
}

void PlaceBox(const TBoxState& s, const std::string& text)
{
    const TFrameMetrics metrics{::GetSystemMetrics(SM_CXFRAME), ::GetSystemMetrics(SM_CYFRAME),
                                ::GetSystemMetrics(SM_CYCAPTION)};
    const TBoxSize box = BoxSize(s.Edit ? OuterSize(s.Edit) : TBoxSize{}, metrics);
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const bool devShift = text.find(kDevShiftText) != std::string::npos && DevTestMode();
    const TBoxRect at =
        BoxPlacement({work.left, work.top, work.right - work.left, work.bottom - work.top}, box, devShift);
    ::SetWindowPos(s.Box, nullptr, at.X, at.Y, at.Width, at.Height, SWP_NOZORDER);
    ::ShowWindow(s.Box, SW_SHOW);
    if (!s.Edit) return;

    const TBoxRect edit = RichEditPlacement(ClientSize(s.Box), OuterSize(s.Edit));
    ::SetWindowPos(s.Edit, nullptr, edit.X, edit.Y, edit.Width, edit.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(s.Edit, SW_SHOW);
}

HICON IconFor(uint32_t style, HINSTANCE instance)
{
    switch (IconOfStyle(style)) {
        case kIconStop: return ::LoadIconA(nullptr, IDI_HAND);
        case kIconQuestion: return ::LoadIconA(nullptr, IDI_QUESTION);
        case kIconExclamation: return ::LoadIconA(nullptr, IDI_EXCLAMATION);
        case kIconInformation: return ::LoadIconA(nullptr, IDI_ASTERISK);
        case kIconProgram: break;
    }
    HICON own = ::LoadIconA(instance, "MainIcon");
    return own ? own : ::LoadIconA(nullptr, IDI_APPLICATION);
}

void CreateButtons(TBoxState& s, const std::string& captionsList, HINSTANCE instance)
{
    const std::vector<TButtonDef> set = ButtonSetOf(s.Style);
    s.Captions = ButtonCaptions(set, captionsList);
    const int count = static_cast<int>(set.size());
    const int defaultIndex = DefaultButtonIndex(s.Style, count);
    const TBoxSize client = ClientSize(s.Box);
    for (int i = 0; i < count; ++i) {
        const TBoxRect at = ButtonPlacement(client, i, count);
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        HWND b = ::CreateWindowExA(0, "BUTTON", s.Captions[i].c_str(), style, at.X, at.Y, at.Width, at.Height, s.Box,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(set[i].Result)), instance, nullptr);
        if (!b) continue;
        ::SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(s.Font.Get()), FALSE);
        ::SetWindowLongPtrA(b, GWLP_USERDATA, set[i].Result);
        s.Buttons.push_back(b);
    }
    if (defaultIndex < static_cast<int>(s.Buttons.size())) {
        ::SetForegroundWindow(s.Box);
        ::SetFocus(s.Buttons[defaultIndex]);
    }
}

void RunModalLoop(TBoxState& s)
{
    MSG m;
    while (!s.Done) {
        const BOOL got = ::GetMessageA(&m, nullptr, 0, 0);
        if (got == 0) {
            // Somebody ends the thread's loop: close the box as with Escape
            // and leave the quit message for the loop that owns the thread.
            if (::IsWindow(s.Box)) ::SendMessageA(s.Box, WM_CLOSE, 0, 0);
            ::PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (got < 0) break;
        if (HandleKey(s, m)) continue;
        ::TranslateMessage(&m);
        ::DispatchMessageA(&m);
    }
}

bool RegisterBoxClass(HINSTANCE instance)
{
    WNDCLASSA existing{};
    if (::GetClassInfoA(instance, kMsgBoxClass, &existing)) return true;  // a box is open already
    WNDCLASSA wc{};
    wc.style = kClassStyle;
    wc.lpfnWndProc = BoxProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kMsgBoxClass;
    return ::RegisterClassA(&wc) != 0;
}

HFONT CreateBoxFont()
{
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return ::CreateFontA(-::MulDiv(gFont.Size, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                         static_cast<BYTE>(gFont.Charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         FF_SWISS, gFont.Face.c_str());
}

}  // namespace

int MsgBox(intptr_t ownerMode, const std::string& text, const std::string& caption, const std::string& captions,
           int charset, uint32_t style, int timeoutMs)
{
    if (!gRichEditLibrary) gRichEditLibrary = LoadRichEdit();
    LibraryHandle ownRichEdit(LoadRichEdit());
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);

    TBoxState s;
    s.Style = EffectiveStyle(style, charset, ownerMode);
    s.Remembered = ::GetActiveWindow();
    if (s.Remembered) ::EnableWindow(s.Remembered, FALSE);
    s.TimeoutMs = timeoutMs;
    s.Font.Reset(CreateBoxFont());

    const HWND owner = ownerMode < kOwnerModeCount ? s.Remembered : reinterpret_cast<HWND>(ownerMode);
    const bool registered = RegisterBoxClass(instance);
    HWND box = registered ? ::CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kMsgBoxClass, caption.c_str(),
                                              WS_VISIBLE | WS_CAPTION | WS_SYSMENU, -100, -100, 10, 10, owner,
                                              nullptr, instance, &s)
                          : nullptr;
    if (!box) {
        TracePid({" LMsgBox: the box could not be created: ", SysErrorText()});
        if (s.Remembered) ::EnableWindow(s.Remembered, TRUE);
        if (registered) ::UnregisterClassA(kMsgBoxClass, instance);
        return kResultNone;
    }
    if (s.Style & kStyleNoClose) ::EnableMenuItem(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    s.Edit = CreateTextControl(s, instance);
    const TMarkedText marked =
        ConvertMarkup(OwnerModeHasHeader(ownerMode) ? WithHeader(caption, text) : text);
    if (s.Edit) {
        SetMarkedText(s, marked);
        SizeTextControl(s, marked);
    }
    PlaceBox(s, text);
    s.Icon = IconFor(s.Style, instance);
    CreateButtons(s, CaptionsOrDefault(captions), instance);
    ::InvalidateRect(box, nullptr, TRUE);

    const HWND outer = gOpenBox;
    gOpenBox = box;
    RunModalLoop(s);
    gOpenBox = outer;

    // The class goes once its window has gone (a nested box keeps it).
    ::UnregisterClassA(kMsgBoxClass, instance);
    s.Font.Reset();
    ownRichEdit.Reset();
    WaitPumping(0, 100);
    return s.Result;
}

void ForwardAppMessagesTo(uintptr_t window) { gForward = reinterpret_cast<HWND>(window); }

void CloseOpenMsgBox()
{
    if (gOpenBox) ::PostMessageA(gOpenBox, WM_CLOSE, 0, 0);
}

int MsgBoxError(intptr_t ownerMode, const std::string& text, const std::string& caption,
                const std::string& captions, int charset)
{
    return MsgBox(ownerMode, text, CaptionOrKind(caption, kKindError), CaptionsOrDefault(captions), charset,
                  kStyleIconStop | kStyleOk, 0);
}

int MsgBoxAttention(intptr_t ownerMode, const std::string& text, const std::string& caption,
                    const std::string& captions, int charset, int timeoutMs)
{
    return MsgBox(ownerMode, text, CaptionOrKind(caption, kKindAttention), CaptionsOrDefault(captions), charset,
                  kStyleIconExclamation | kStyleOk, timeoutMs);
}

bool MsgBoxConfirm(intptr_t ownerMode, const std::string& text, const std::string& caption,
                   const std::string& captions, int charset, int timeoutMs)
{
    return MsgBox(ownerMode, text, CaptionOrKind(caption, kKindConfirm), CaptionsOrDefault(captions), charset,
                  kStyleIconQuestion | kStyleYesNo, timeoutMs) == kResultYes;
}

bool MsgBoxOkCancel(intptr_t ownerMode, const std::string& text, const std::string& caption,
                    const std::string& captions, int charset)
{
    return MsgBox(ownerMode, text, CaptionOrKind(caption, kKindConfirm), CaptionsOrDefault(captions), charset,
                  kStyleIconQuestion | kStyleOkCancel, 0) == kResultOk;
}

void SetMsgBoxFont(const std::string& face, int size, int charset)
{
    gFont.Face = face;
    if (size != 0) gFont.Size = size;
    gFont.Charset = charset;
}

// The message box under Wine, driven from inside: a timer of this thread
// finds the open box (its modal loop dispatches the timer) and reads it,
// clicks its buttons or sends it keys, as a user would.
#include <gtest/gtest.h>
#include <richedit.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "WinTestKit.h"
#include "sys/Utils.h"
#include "ui/LMsgBox.h"

namespace {

// ---- Finding and reading the open box ---------------------------------------

BOOL CALLBACK FindBoxProc(HWND wnd, LPARAM lp)
{
    if (WindowClassName(wnd) == kMsgBoxClass && IsWindowVisible(wnd)) {
        *reinterpret_cast<HWND*>(lp) = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND OpenBoxOfThisThread()
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&box));
    return box;
}

BOOL CALLBACK CollectProc(HWND wnd, LPARAM lp)
{
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
    return TRUE;
}

std::vector<HWND> ChildrenOfClass(HWND box, const std::string& cls)
{
    std::vector<HWND> all, out;
    EnumChildWindows(box, CollectProc, reinterpret_cast<LPARAM>(&all));
    for (HWND w : all)
        if (SameText(WindowClassName(w), cls)) out.push_back(w);
    return out;
}

// Left to right.
std::vector<HWND> ButtonsOf(HWND box)
{
    std::vector<HWND> buttons = ChildrenOfClass(box, "Button");
    std::sort(buttons.begin(), buttons.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return buttons;
}

HWND RichEditOf(HWND box)
{
    const std::vector<HWND> edits = ChildrenOfClass(box, "RICHEDIT");
    return edits.empty() ? nullptr : edits.front();
}

RECT RectIn(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int WidthOf(HWND wnd)
{
    RECT r;
    GetWindowRect(wnd, &r);
    return r.right - r.left;
}

int HeightOf(HWND wnd)
{
    RECT r;
    GetWindowRect(wnd, &r);
    return r.bottom - r.top;
}

// Whether each character of the rich edit's text is bold ('B') or not ('.');
// line ends are '-' (Wine formats a line end like the text before it).
std::string BoldMap(HWND edit)
{
    const std::string text = WindowText(edit);
    std::string map;
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            map += '-';
            continue;
        }
        CHARRANGE r{i, i + 1};
        SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
        CHARFORMATA cf{};
        cf.cbSize = sizeof cf;
        SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        map += (cf.dwMask & CFM_BOLD) && (cf.dwEffects & CFE_BOLD) ? 'B' : '.';
    }
    return map;
}

void PressKey(HWND box, UINT vk)
{
    HWND target = GetFocus();
    if (!target) target = box;
    PostMessageA(target, WM_KEYDOWN, vk, 1);
    PostMessageA(target, WM_KEYUP, vk, 1 | (3u << 30));
}

// ---- Driving the box from a timer of this thread ----------------------------

// While alive, runs `action` once on the first open box of this thread.
class BoxDriver {
public:
    explicit BoxDriver(std::function<void(HWND)> action) : action_(std::move(action))
    {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~BoxDriver()
    {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    BoxDriver(const BoxDriver&) = delete;
    BoxDriver& operator=(const BoxDriver&) = delete;

    bool Acted() const { return acted_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        BoxDriver* d = current_;
        if (!d || d->acted_) return;
        HWND box = OpenBoxOfThisThread();
        if (!box) return;
        d->acted_ = true;
        d->action_(box);
    }

    static inline BoxDriver* current_ = nullptr;
    std::function<void(HWND)> action_;
    UINT_PTR timer_ = 0;
    bool acted_ = false;
};

// Shows a box and lets `action` answer it; a box nobody closes would hang the
// test, so the action must close it.
int ShowAndDrive(const std::function<void(HWND)>& action, intptr_t owner, const std::string& text, uint32_t style,
                 int charset = 1, int timeoutMs = 0, const std::string& caption = "Test")
{
    BoxDriver driver(action);
    const int result = MsgBox(owner, text, caption, "", charset, style, timeoutMs);
    EXPECT_TRUE(driver.Acted()) << "the box was never seen";
    return result;
}

std::function<void(HWND)> ClickButton(int index)
{
    return [index](HWND box) {
        const std::vector<HWND> buttons = ButtonsOf(box);
        ASSERT_LT(index, static_cast<int>(buttons.size()));
        SendMessageA(buttons[index], BM_CLICK, 0, 0);
    };
}

std::function<void(HWND)> Keys(std::vector<UINT> keys)
{
    return [keys](HWND box) {
        for (UINT k : keys) PressKey(box, k);
    };
}

void CloseWithEscape(HWND box) { PressKey(box, VK_ESCAPE); }

}  // namespace

TEST(MsgBoxWin, EveryButtonOfEverySetGivesItsResult)
{
    struct Case {
        uint32_t set;
        std::vector<std::string> captions;
        std::vector<int> results;
    };
    const Case cases[] = {
        {0, {"&OK"}, {1}},
        {1, {"&OK", "&Cancel"}, {1, 2}},
        {2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}},
        {3, {"&Yes", "&No", "&Cancel"}, {6, 7, 2}},
        {4, {"&Yes", "&No"}, {6, 7}},
        {5, {"&Retry", "&Cancel"}, {4, 2}},
    };
    for (const auto& c : cases) {
        for (size_t i = 0; i < c.results.size(); ++i) {
            std::vector<std::string> seen;
            auto action = [&seen, i](HWND box) {
                for (HWND b : ButtonsOf(box)) seen.push_back(WindowText(b));
                ClickButton(static_cast<int>(i))(box);
            };
            EXPECT_EQ(ShowAndDrive(action, 1, "Choose", c.set), c.results[i]) << "set " << c.set << " button " << i;
            EXPECT_EQ(seen, c.captions) << "set " << c.set;
        }
    }
}

TEST(MsgBoxWin, KeysMoveTheFocusAndChooseButtons)
{
    struct Case {
        const char* what;
        uint32_t style;
        std::vector<UINT> keys;
        int result;
    };
    const Case cases[] = {
        {"Enter on the first button", 0x3, {VK_RETURN}, 6},
        {"Enter on the default button 1", 0x103, {VK_RETURN}, 7},
        {"default index modulo the buttons", 0x201, {VK_RETURN}, 1},
        {"Right moves on", 0x3, {VK_RIGHT, VK_RETURN}, 7},
        {"Tab moves on", 0x3, {VK_TAB, VK_TAB, VK_RETURN}, 2},
        {"Down wraps around", 0x203, {VK_DOWN, VK_RETURN}, 6},
        {"Left wraps around", 0x3, {VK_LEFT, VK_RETURN}, 2},
        {"Up moves back", 0x103, {VK_UP, VK_RETURN}, 6},
        {"the letter after &", 0x2, {'R'}, 4},
        {"another letter", 0x2, {'I'}, 5},
        {"a letter of no button is ignored", 0x4, {'Q', 'N'}, 7},
    };
    for (const auto& c : cases) EXPECT_EQ(ShowAndDrive(Keys(c.keys), 1, "Keys", c.style), c.result) << c.what;

    // A typed character (as WM_CHAR) chooses too, in either case.
    auto typeN = [](HWND box) { PostMessageA(GetFocus() ? GetFocus() : box, WM_CHAR, 'n', 1); };
    EXPECT_EQ(ShowAndDrive(typeN, 1, "Char", 0x4), 7);
}

TEST(MsgBoxWin, EscapeGivesZeroInEverySetAlsoWithoutClose)
{
    for (intptr_t owner : {1, 2}) {
        for (uint32_t set = 0; set <= 5; ++set) {
            bool closeGreyed = false;
            auto action = [&closeGreyed](HWND box) {
                const UINT state = GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND);
                closeGreyed = (state != 0xFFFFFFFF) && (state & MF_GRAYED);
                CloseWithEscape(box);
            };
            EXPECT_EQ(ShowAndDrive(action, owner, "Escape", set), 0) << "owner " << owner << " set " << set;
            EXPECT_EQ(closeGreyed, owner == 2) << "owner " << owner;
        }
    }
}

TEST(MsgBoxWin, TheCloseCommandIsRefusedOnlyWithTheNoCloseFlag)
{
    for (intptr_t owner : {1, 2}) {
        bool openAfterClose = false;
        auto action = [&openAfterClose](HWND box) {
            // The title bar's close button and Alt+F4 arrive as this command.
            SendMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
            openAfterClose = IsWindow(box);
            if (openAfterClose) ClickButton(1)(box);
        };
        const int result = ShowAndDrive(action, owner, "Close", kStyleOkCancel);
        if (owner == 2) {
            EXPECT_TRUE(openAfterClose);
            EXPECT_EQ(result, kResultCancel);
        } else {
            EXPECT_EQ(result, kResultNone);
        }
    }
}

TEST(MsgBoxWin, ATimeoutChoosesTheFirstButton)
{
    const DWORD start = GetTickCount();
    EXPECT_TRUE(MsgBoxConfirm(1, "Continue?", "", "", 0, 300));
    EXPECT_GE(GetTickCount() - start, 300u);
    EXPECT_EQ(MsgBoxAttention(1, "Note", "", "", 0, 200), kResultOk);
    EXPECT_EQ(MsgBox(1, "Again?", "T", "", 0, kStyleRetryCancel, 200), kResultRetry);
    EXPECT_EQ(MsgBox(1, "Sure?", "T", "", 0, kStyleYesNoCancel | 0x200, 200), kResultYes);  // not the default
}

TEST(MsgBoxWin, WrappersHaveTheirIconsButtonsCaptionsAndAnswers)
{
    std::string title;
    std::vector<std::string> captions;
    auto read = [&](int click) {
        return [&, click](HWND box) {
            title = WindowText(box);
            captions.clear();
            for (HWND b : ButtonsOf(box)) captions.push_back(WindowText(b));
            ClickButton(click)(box);
        };
    };
    {
        BoxDriver d(read(0));
        EXPECT_EQ(MsgBoxError(1, "Broken", "", "", 0), kResultOk);
        EXPECT_EQ(title, "Error");
        EXPECT_EQ(captions, (std::vector<std::string>{"&OK"}));
    }
    {
        BoxDriver d(read(0));
        EXPECT_EQ(MsgBoxAttention(1, "Look", "", "|O&k|&Abbrechen|&Ja|&Nein|||", 0, 0), kResultOk);
        EXPECT_EQ(title, "Attention");
        EXPECT_EQ(captions, (std::vector<std::string>{"O&k"}));
    }
    {
        BoxDriver d(read(1));
        EXPECT_FALSE(MsgBoxConfirm(1, "Sure?", "Setup", "|O&k|&Abbrechen|&Ja|&Nein|||", 0, 0));
        EXPECT_EQ(title, "Setup");
        EXPECT_EQ(captions, (std::vector<std::string>{"&Ja", "&Nein"}));
    }
    {
        BoxDriver d(read(0));
        EXPECT_TRUE(MsgBoxOkCancel(1, "Insert disk 2", "", "", 0));
        EXPECT_EQ(title, "Confirm");
        EXPECT_EQ(captions, (std::vector<std::string>{"&OK", "&Cancel"}));
    }
}

TEST(MsgBoxWin, BoldPassagesAndTheHeaderReachTheRichEdit)
{
    struct Case {
        intptr_t owner;
        const char* caption;
        const char* text;
        const char* shown;
        const char* bold;
    };
    const Case cases[] = {
        {1, "T", "a<b>b</b>c<P>d", "abc\r\nd", ".B.--."},
        {1, "T", "x</b>y<b>z</b>", "xyz", "..."},
        {0, "Error", "a<b>b</b>", "ERROR\r\n\r\nab\r\n", "BBBBB----.B--"},
        {0, "Other", "x", "Other\r\n\r\nx\r\n", "BBBBB----.--"},
        {1, "T", "<b>one</b> two <B>three</B>", "one two three", "BBB.....BBBBB"},
        {1, "Error", "x", "x", "."},
    };
    for (const auto& c : cases) {
        std::string shown, bold;
        auto action = [&](HWND box) {
            HWND edit = RichEditOf(box);
            ASSERT_NE(edit, nullptr);
            shown = WindowText(edit);
            bold = BoldMap(edit);
            CloseWithEscape(box);
        };
        ShowAndDrive(action, c.owner, c.text, 0, 1, 0, c.caption);
        EXPECT_EQ(shown, c.shown) << c.text;
        EXPECT_EQ(bold, c.bold) << c.text;
    }
}

TEST(MsgBoxWin, LongLinesMakeTheText610WideAndOneLineTallerPer600Pixels)
{
    // The box font: Tahoma 8 at the screen's resolution.
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    GdiObject font(CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS,
                               "Tahoma"));
    HGDIOBJ old = SelectObject(dc, font.Get());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    const std::string word = "installation ";
    auto textOfWidth = [&](int minWidth) {
        std::string t;
        SIZE sz{};
        do {
            t += word;
            GetTextExtentPoint32A(dc, t.data(), static_cast<int>(t.size()), &sz);
        } while (sz.cx < minWidth);
        return std::make_pair(t, static_cast<int>(sz.cx));
    };
    // Three and four lines: both tall enough (39 pixels and more) for the
    // same button strip, so the rich edits differ by the text alone.
    const auto threeLines = textOfWidth(1250);
    const auto fourLines = textOfWidth(1850);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    ASSERT_LT(threeLines.second, 1800);
    ASSERT_LT(fourLines.second, 2400);

    auto measure = [](int& width, int& height) {
        return [&width, &height](HWND box) {
            HWND edit = RichEditOf(box);
            width = edit ? WidthOf(edit) : -1;
            height = edit ? HeightOf(edit) : -1;
            CloseWithEscape(box);
        };
    };
    int shortW = 0, shortH = 0, threeW = 0, threeH = 0, fourW = 0, fourH = 0;
    ShowAndDrive(measure(shortW, shortH), 1, "Short", 0);
    ShowAndDrive(measure(threeW, threeH), 1, threeLines.first, 0);
    ShowAndDrive(measure(fourW, fourH), 1, fourLines.first, 0);
    EXPECT_LT(shortW, 200);
    EXPECT_EQ(threeW, 610);
    EXPECT_EQ(fourW, 610);
    EXPECT_EQ(fourH - threeH, tm.tmHeight + tm.tmExternalLeading);
}

TEST(MsgBoxWin, BoxRichEditAndButtonsSitWhereTheLayoutPutsThem)
{
    RECT client{}, edit{}, box{};
    std::vector<RECT> buttons;
    bool defaultStyle = false;
    auto action = [&](HWND b) {
        GetClientRect(b, &client);
        GetWindowRect(b, &box);
        edit = RectIn(b, RichEditOf(b));
        for (HWND w : ButtonsOf(b)) buttons.push_back(RectIn(b, w));
        defaultStyle = (GetWindowLongA(ButtonsOf(b)[1], GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
        CloseWithEscape(b);
    };
    ShowAndDrive(action, 1, "Line one<P>Line two<P>Line three", kStyleYesNoCancel | 0x100);
    const int cw = client.right, ch = client.bottom;
    ASSERT_EQ(buttons.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i].left, cw - 80 - (2 - i) * 70) << i;
        EXPECT_EQ(buttons[i].top, ch - 29) << i;
        EXPECT_EQ(buttons[i].right - buttons[i].left, 70);
        EXPECT_EQ(buttons[i].bottom - buttons[i].top, 23);
    }
    EXPECT_TRUE(defaultStyle);
    const int w = edit.right - edit.left;
    EXPECT_EQ(edit.left, (cw - w - 54) / 2 + 54);
    EXPECT_EQ(edit.bottom, ch - 39);
    EXPECT_GE(box.right - box.left, 360);
    // Centred in the work area.
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(box.left, work.left + (work.right - work.left - (box.right - box.left)) / 2);
    EXPECT_EQ(box.top, work.top + (work.bottom - work.top - (box.bottom - box.top)) / 2);
}

TEST(MsgBoxWin, HebrewAndArabicCharsetsTurnTheTextRightToLeft)
{
    for (int charset : {1, 177, 178}) {
        LONG style = 0, exStyle = 0;
        WORD alignment = 0, effects = 0;
        auto action = [&](HWND box) {
            HWND edit = RichEditOf(box);
            style = GetWindowLongA(edit, GWL_STYLE);
            exStyle = GetWindowLongA(edit, GWL_EXSTYLE);
            PARAFORMAT2 pf{};
            pf.cbSize = sizeof pf;
            SendMessageA(edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
            alignment = pf.wAlignment;
            effects = pf.wEffects;
            CloseWithEscape(box);
        };
        ShowAndDrive(action, 1, "Right to left<P>second paragraph", 0, charset);
        const bool rtl = charset != 1;
        EXPECT_EQ((style & ES_RIGHT) != 0, rtl) << charset;
        EXPECT_EQ((exStyle & WS_EX_RTLREADING) != 0, rtl) << charset;
        EXPECT_EQ(alignment == PFA_RIGHT, rtl) << charset;
        EXPECT_EQ((effects & PFE_RTLPARA) != 0, rtl) << charset;
    }
}

TEST(MsgBoxWin, AnswersQueryCancelAutoPlayOnceRegistered)
{
    const UINT message = RegisterWindowMessageA("QueryCancelAutoPlay");
    LRESULT on = -1, off = -1;
    RegisterAutoPlayCancel(true);
    ShowAndDrive(
        [&](HWND box) {
            on = SendMessageA(box, message, 0, 0);
            CloseWithEscape(box);
        },
        1, "Insert the disk", kStyleOkCancel);
    RegisterAutoPlayCancel(false);
    ShowAndDrive(
        [&](HWND box) {
            off = SendMessageA(box, message, 0, 0);
            CloseWithEscape(box);
        },
        1, "Insert the disk", kStyleOkCancel);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(off, 0);
}

TEST(MsgBoxWin, TheOwnerIsDisabledWhileTheBoxIsOpenAndActiveAfterwards)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MsgBoxTestOwner";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, wc.lpszClassName, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    HWND other = CreateWindowExA(0, wc.lpszClassName, "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 200, 100,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);
    SetForegroundWindow(owner);
    SetActiveWindow(owner);
    YieldX(0);
    ASSERT_EQ(GetActiveWindow(), owner);

    HWND ownerSeen = nullptr;
    bool enabledWhileOpen = true;
    ShowAndDrive(
        [&](HWND box) {
            ownerSeen = GetWindow(box, GW_OWNER);
            enabledWhileOpen = IsWindowEnabled(owner);
            CloseWithEscape(box);
        },
        1, "Owned", 0);
    EXPECT_EQ(ownerSeen, owner);
    EXPECT_FALSE(enabledWhileOpen);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);

    // A window handle as owner mode owns the box.
    ShowAndDrive(
        [&](HWND box) {
            ownerSeen = GetWindow(box, GW_OWNER);
            CloseWithEscape(box);
        },
        reinterpret_cast<intptr_t>(other), "Owned by the other", 0);
    EXPECT_EQ(ownerSeen, other);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(other);
    DestroyWindow(owner);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

TEST(MsgBoxWin, AQuitMessageClosesTheBoxAndIsLeftForTheOwnersLoop)
{
    const int result = ShowAndDrive([](HWND) { PostQuitMessage(7); }, 1, "Quit", kStyleYesNo);
    EXPECT_EQ(result, kResultNone);
    EXPECT_EQ(OpenBoxOfThisThread(), nullptr);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 7u);
}

TEST(MsgBoxWin, SetMsgBoxFontChangesFaceAndCharsetAndOnlyANonZeroSize)
{
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    auto fontOfBox = [](LOGFONTA& lf) {
        return [&lf](HWND box) {
            HFONT font = reinterpret_cast<HFONT>(SendMessageA(ButtonsOf(box)[0], WM_GETFONT, 0, 0));
            GetObjectA(font, sizeof lf, &lf);
            CloseWithEscape(box);
        };
    };
    struct Case {
        const char* face;
        int size;
        int charset;
        const char* wantFace;
        int wantPoints;
    };
    const Case cases[] = {
        {"Arial", 0, 177, "Arial", 8},   // the size stays at its initial 8
        {"Tahoma", 10, 1, "Tahoma", 10},
        {"Arial", 0, 1, "Arial", 10},    // and then at the 10 set before
    };
    for (const auto& c : cases) {
        SetMsgBoxFont(c.face, c.size, c.charset);
        LOGFONTA lf{};
        ShowAndDrive(fontOfBox(lf), 1, "Font", 0);
        EXPECT_STREQ(lf.lfFaceName, c.wantFace);
        EXPECT_EQ(lf.lfHeight, -MulDiv(c.wantPoints, dpi, 72)) << c.face;
        EXPECT_EQ(lf.lfCharSet, c.charset) << c.face;
        EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    }
    SetMsgBoxFont("Tahoma", 8, DEFAULT_CHARSET);
}

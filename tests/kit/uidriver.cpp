// uidriver: the test kit's message-box driver. It finds the system's message
// box (window class "LMsgBox"), reports what it shows and answers it as a
// user would; and it reports any window's place, visibility and text.
//
//   uidriver [--out=FILE] [--wait=SECONDS] box [FILTER] [ACTION...]
//       Waits for a visible message box (default 20 s), then writes
//         title=<window title>
//         text=<the rich edit's text>          (escaped, see below)
//         button=<caption>                     (one line each, left to right)
//         focus=<caption of the focused button, or empty>
//         rect=<left>,<top>,<right>,<bottom>   (the box, screen pixels)
//         textrect=<left>,<top>,<right>,<bottom> (the rich edit, screen pixels)
//       then performs the actions in order:
//         --press=CAPTION   clicks the button whose caption equals CAPTION,
//                           with or without its "&", ignoring case
//         --key=KEY         sends a key to the box's focused window: Escape,
//                           Enter, Tab, Left, Right, Up, Down, or one letter
//                           A-Z; char:X sends the character X (WM_CHAR)
//         --close           sends the window's Close command
//         --wait-closed     waits until the box has gone and writes "closed"
//       FILTER: --title=T (the box's exact title).
//
//   uidriver [--out=FILE] [--wait=SECONDS] window [--class=C] [--title=T] [--children]
//            [--resize=W,H] [--click=CAPTION] [--close]
//       Waits for a top-level window of that class and/or exact title (default
//       wait 0: look once); with --resize first gives it that outer size (and
//       lets it lay itself out); then writes hwnd=, class=, title=, visible=0|1,
//       enabled=0|1, rect= (screen) and client=<width>,<height>. With
//       --children, every child window follows as one line:
//         child=<class>|<visible>|<x>,<y>,<width>,<height>|<text>
//       where x and y are relative to the parent's client area. Then --click
//       clicks the child button of that caption, --close sends WM_CLOSE.
//
// Texts are escaped: "\" as "\\", CR as "\r", LF as "\n", TAB as "\t". Output
// goes to FILE (created anew) or, without --out, to standard output.
// Exit codes: 0 done; 1 no such window within the wait; 2 bad command line;
// 3 no button with that caption; 4 the box did not close.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

FILE* gOut = stdout;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

void Line(const std::string& key, const std::string& value)
{
    std::fprintf(gOut, "%s=%s\n", key.c_str(), value.c_str());
    std::fflush(gOut);
}

std::string TextOf(HWND wnd)
{
    // WM_GETTEXT is marshalled between processes, unlike the rich edit's own
    // messages.
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return "";
    std::string text(len + 1, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(wnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
    text.resize(std::min<size_t>(got, len));
    return text;
}

std::string ClassOf(HWND wnd)
{
    char buf[256] = {};
    GetClassNameA(wnd, buf, sizeof buf);
    return buf;
}

std::string RectText(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string WithoutAmpersand(std::string s)
{
    s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
    return s;
}

struct TFilter {
    std::string Class;
    std::string Title;
    bool HasTitle = false;
    bool VisibleOnly = false;
};

struct TFindData {
    const TFilter* Filter;
    HWND Found;
};

BOOL CALLBACK FindProc(HWND wnd, LPARAM lp)
{
    auto* d = reinterpret_cast<TFindData*>(lp);
    if (!d->Filter->Class.empty() && ClassOf(wnd) != d->Filter->Class) return TRUE;
    if (d->Filter->HasTitle && TextOf(wnd) != d->Filter->Title) return TRUE;
    if (d->Filter->VisibleOnly && !IsWindowVisible(wnd)) return TRUE;
    d->Found = wnd;
    return FALSE;
}

HWND WaitForWindow(const TFilter& filter, double seconds)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
        TFindData d{&filter, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
        if (d.Found) return d.Found;
        if (static_cast<LONG>(GetTickCount() - end) >= 0) return nullptr;
        Sleep(50);
    }
}

BOOL CALLBACK CollectChildren(HWND wnd, LPARAM lp)
{
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
    return TRUE;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> direct;
    for (HWND w : all)
        if (GetParent(w) == parent) direct.push_back(w);
    return direct;
}

std::vector<HWND> Buttons(HWND box)
{
    std::vector<HWND> buttons;
    for (HWND w : Children(box))
        if (Upper(ClassOf(w)) == "BUTTON") buttons.push_back(w);
    std::sort(buttons.begin(), buttons.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return buttons;
}

HWND TextControl(HWND box)
{
    for (HWND w : Children(box)) {
        const std::string c = Upper(ClassOf(w));
        if (c == "RICHEDIT" || c == "EDIT" || c.rfind("RICHEDIT", 0) == 0) return w;
    }
    return nullptr;
}

HWND FocusOf(HWND box)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info) && info.hwndFocus) return info.hwndFocus;
    return nullptr;
}

bool SendKey(HWND box, const std::string& key)
{
    HWND target = FocusOf(box);
    if (!target || (target != box && !IsChild(box, target))) target = box;
    if (key.rfind("char:", 0) == 0 && key.size() == 6) {
        return PostMessageA(target, WM_CHAR, static_cast<unsigned char>(key[5]), 1) != 0;
    }
    const std::string k = Upper(key);
    UINT vk = 0;
    if (k == "ESCAPE" || k == "ESC") vk = VK_ESCAPE;
    else if (k == "ENTER" || k == "RETURN") vk = VK_RETURN;
    else if (k == "TAB") vk = VK_TAB;
    else if (k == "LEFT") vk = VK_LEFT;
    else if (k == "RIGHT") vk = VK_RIGHT;
    else if (k == "UP") vk = VK_UP;
    else if (k == "DOWN") vk = VK_DOWN;
    else if (k.size() == 1 && k[0] >= 'A' && k[0] <= 'Z') vk = static_cast<UINT>(k[0]);
    else return false;
    const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
    return true;
}

void ReportBox(HWND box)
{
    Line("title", Escape(TextOf(box)));
    HWND text = TextControl(box);
    Line("text", text ? Escape(TextOf(text)) : "");
    const std::vector<HWND> buttons = Buttons(box);
    HWND focus = FocusOf(box);
    std::string focused;
    for (HWND b : buttons) {
        Line("button", Escape(TextOf(b)));
        if (b == focus) focused = TextOf(b);
    }
    Line("focus", Escape(focused));
    RECT r;
    GetWindowRect(box, &r);
    Line("rect", RectText(r));
    if (text) {
        GetWindowRect(text, &r);
        Line("textrect", RectText(r));
    }
}

int RunBox(const std::vector<std::string>& args, double wait)
{
    TFilter filter;
    filter.Class = "LMsgBox";
    filter.VisibleOnly = true;
    for (const auto& a : args) {
        if (a.rfind("--title=", 0) == 0) {
            filter.Title = a.substr(8);
            filter.HasTitle = true;
        }
    }
    HWND box = WaitForWindow(filter, wait);
    if (!box) {
        Line("error", "no message box");
        return 1;
    }
    // Let the box finish its layout before it is read.
    Sleep(300);
    ReportBox(box);
    for (const auto& a : args) {
        if (a.rfind("--press=", 0) == 0) {
            const std::string want = Upper(a.substr(8));
            HWND hit = nullptr;
            for (HWND b : Buttons(box)) {
                const std::string caption = Upper(TextOf(b));
                if (caption == want || WithoutAmpersand(caption) == WithoutAmpersand(want)) hit = b;
            }
            if (!hit) {
                Line("error", "no button " + a.substr(8));
                return 3;
            }
            const std::string caption = TextOf(hit);
            PostMessageA(hit, BM_CLICK, 0, 0);
            Line("pressed", Escape(caption));
        } else if (a.rfind("--key=", 0) == 0) {
            if (!SendKey(box, a.substr(6))) {
                Line("error", "unknown key " + a.substr(6));
                return 2;
            }
            Line("sent", a.substr(6));
            Sleep(150);
        } else if (a == "--close") {
            PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
            Line("sent", "close");
            Sleep(150);
        } else if (a == "--wait-closed") {
            const DWORD end = GetTickCount() + 10000;
            while (IsWindow(box) && static_cast<LONG>(GetTickCount() - end) < 0) Sleep(50);
            if (IsWindow(box)) {
                Line("error", "box still open");
                return 4;
            }
            Line("closed", "1");
        } else if (a.rfind("--title=", 0) != 0) {
            Line("error", "unknown argument " + a);
            return 2;
        }
    }
    return 0;
}

int RunWindow(const std::vector<std::string>& args, double wait)
{
    TFilter filter;
    bool children = false, close = false;
    int width = 0, height = 0;
    std::string click;
    for (const auto& a : args) {
        if (a.rfind("--class=", 0) == 0) filter.Class = a.substr(8);
        else if (a.rfind("--title=", 0) == 0) {
            filter.Title = a.substr(8);
            filter.HasTitle = true;
        } else if (a == "--children") children = true;
        else if (a.rfind("--resize=", 0) == 0) std::sscanf(a.c_str() + 9, "%d,%d", &width, &height);
        else if (a.rfind("--click=", 0) == 0) click = a.substr(8);
        else if (a == "--close") close = true;
        else {
            Line("error", "unknown argument " + a);
            return 2;
        }
    }
    if (filter.Class.empty() && !filter.HasTitle) {
        Line("error", "window needs --class or --title");
        return 2;
    }
    HWND wnd = WaitForWindow(filter, wait);
    if (!wnd) {
        Line("error", "no such window");
        return 1;
    }
    if (width > 0 && height > 0) {
        SetWindowPos(wnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Sleep(500);
    }
    char handle[32];
    std::snprintf(handle, sizeof handle, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(wnd)));
    Line("hwnd", handle);
    Line("class", ClassOf(wnd));
    Line("title", Escape(TextOf(wnd)));
    Line("visible", IsWindowVisible(wnd) ? "1" : "0");
    Line("enabled", IsWindowEnabled(wnd) ? "1" : "0");
    RECT r;
    GetWindowRect(wnd, &r);
    Line("rect", RectText(r));
    GetClientRect(wnd, &r);
    Line("client", std::to_string(r.right) + "," + std::to_string(r.bottom));
    if (children) {
        for (HWND c : Children(wnd)) {
            RECT cr;
            GetWindowRect(c, &cr);
            MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&cr), 2);
            Line("child", ClassOf(c) + "|" + (IsWindowVisible(c) ? "1" : "0") + "|" + std::to_string(cr.left) + "," +
                              std::to_string(cr.top) + "," + std::to_string(cr.right - cr.left) + "," +
                              std::to_string(cr.bottom - cr.top) + "|" + Escape(TextOf(c)));
        }
    }
    if (!click.empty()) {
        HWND hit = nullptr;
        for (HWND c : Children(wnd))
            if (Upper(ClassOf(c)) == "BUTTON" && WithoutAmpersand(Upper(TextOf(c))) == WithoutAmpersand(Upper(click)))
                hit = c;
        if (!hit) {
            Line("error", "no button " + click);
            return 3;
        }
        PostMessageA(hit, BM_CLICK, 0, 0);
        Line("pressed", Escape(click));
    }
    if (close) PostMessageA(wnd, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string outFile;
    double wait = -1;
    while (!args.empty() && args.front().rfind("--", 0) == 0) {
        const std::string a = args.front();
        if (a.rfind("--out=", 0) == 0) outFile = a.substr(6);
        else if (a.rfind("--wait=", 0) == 0) wait = std::atof(a.c_str() + 7);
        else break;
        args.erase(args.begin());
    }
    if (!outFile.empty()) {
        gOut = std::fopen(outFile.c_str(), "wb");
        if (!gOut) return 2;
    }
    if (args.empty()) {
        Line("error", "usage: uidriver [--out=FILE] [--wait=S] box|window ...");
        return 2;
    }
    const std::string mode = args.front();
    args.erase(args.begin());
    int rc = 2;
    if (mode == "box") rc = RunBox(args, wait < 0 ? 20 : wait);
    else if (mode == "window") rc = RunWindow(args, wait < 0 ? 0 : wait);
    else Line("error", "unknown mode " + mode);
    if (gOut != stdout) std::fclose(gOut);
    return rc;
}

// showbox: shows one message box of the system and prints its answer, so
// that end-to-end tests can drive boxes of every kind through uidriver.
//
//   showbox KIND [options]
//     KIND         error | attention | confirm | okcancel | box (MsgBox itself)
//     --text=T     the text, in the box mark-up ("<P>", "<T>", "<B>".."</B>")
//     --text-hex=H the text as hex bytes in the system code page
//     --caption=C  the caption ("" gives the kind's default)
//     --buttons=L  the button captions list ("" gives the default list)
//     --charset=N  the language's charset (177, 178: right to left)
//     --owner=N    owner mode (default 1)
//     --timeout=MS timeout of attention, confirm and box
//     --style=N    style word of "box" (decimal or 0x hex)
//     --font=FACE,SIZE,CHARSET   SetMsgBoxFont before showing
//     --window     first open a plain top-level window titled "showbox owner"
//                  that is active when the box opens
// Prints "result=N" (the result code; 1 or 0 for confirm and okcancel) and
// "owner-enabled=0|1" (with --window: whether the owner was enabled again),
// and exits with the result.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sys/Utils.h"
#include "ui/LMsgBox.h"

namespace {

std::string Option(int argc, char** argv, const std::string& name, const std::string& def)
{
    const std::string prefix = "--" + name + "=";
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind(prefix, 0) == 0) return a.substr(prefix.size());
    }
    return def;
}

bool Flag(int argc, char** argv, const std::string& name)
{
    for (int i = 2; i < argc; ++i)
        if (argv[i] == "--" + name) return true;
    return false;
}

HWND OpenOwnerWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = "ShowBoxOwner";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, "ShowBoxOwner", "showbox owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 420,
                               260, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(wnd);
    SetActiveWindow(wnd);
    return wnd;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: showbox error|attention|confirm|okcancel|box [options]\n");
        return 255;
    }
    const std::string kind = argv[1];
    std::string text = Option(argc, argv, "text", "Text");
    const std::string hex = Option(argc, argv, "text-hex", "");
    if (!hex.empty()) text = HexDecode(hex);
    const std::string caption = Option(argc, argv, "caption", "");
    const std::string buttons = Option(argc, argv, "buttons", "");
    const int charset = std::atoi(Option(argc, argv, "charset", "1").c_str());
    const intptr_t owner = std::atoi(Option(argc, argv, "owner", "1").c_str());
    const int timeout = std::atoi(Option(argc, argv, "timeout", "0").c_str());
    const uint32_t style = static_cast<uint32_t>(std::strtoul(Option(argc, argv, "style", "0").c_str(), nullptr, 0));
    const std::string font = Option(argc, argv, "font", "");
    if (!font.empty()) {
        const size_t a = font.find(',');
        const size_t b = a == std::string::npos ? a : font.find(',', a + 1);
        if (b != std::string::npos)
            SetMsgBoxFont(font.substr(0, a), std::atoi(font.substr(a + 1, b - a - 1).c_str()),
                          std::atoi(font.substr(b + 1).c_str()));
    }
    HWND ownerWindow = Flag(argc, argv, "window") ? OpenOwnerWindow() : nullptr;

    int result = -1;
    if (kind == "error") result = MsgBoxError(owner, text, caption, buttons, charset);
    else if (kind == "attention") result = MsgBoxAttention(owner, text, caption, buttons, charset, timeout);
    else if (kind == "confirm") result = MsgBoxConfirm(owner, text, caption, buttons, charset, timeout) ? 1 : 0;
    else if (kind == "okcancel") result = MsgBoxOkCancel(owner, text, caption, buttons, charset) ? 1 : 0;
    else if (kind == "box") result = MsgBox(owner, text, caption, buttons, charset, style, timeout);
    else {
        std::fprintf(stderr, "showbox: unknown kind %s\n", kind.c_str());
        return 255;
    }
    std::printf("result=%d\n", result);
    if (ownerWindow) {
        std::printf("owner-enabled=%d\n", IsWindowEnabled(ownerWindow) ? 1 : 0);
        DestroyWindow(ownerWindow);
    }
    std::fflush(stdout);
    return result;
}

// closewindow: asks a top-level window to close, as a user's click on its
// close box would, once that window is visible.
//
//   closewindow --class=C [--wait=SECONDS] [--delay=MS]
//       Waits (default 30 s) until a visible top-level window of class C
//       exists, waits MS milliseconds more (default 0), then posts WM_CLOSE
//       to it. Prints "hwnd=<handle>" and "posted=1".
//
// Exit codes: 0 posted; 1 no visible window of that class within the wait;
// 2 bad command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    std::string cls;
    double wait = 30;
    DWORD delay = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--class=", 0) == 0) cls = a.substr(8);
        else if (a.rfind("--wait=", 0) == 0) wait = std::atof(a.c_str() + 7);
        else if (a.rfind("--delay=", 0) == 0) delay = static_cast<DWORD>(std::atol(a.c_str() + 8));
        else {
            std::printf("error=unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (cls.empty()) {
        std::printf("error=usage: closewindow --class=C [--wait=S] [--delay=MS]\n");
        return 2;
    }
    const DWORD end = GetTickCount() + static_cast<DWORD>(wait * 1000);
    HWND wnd = nullptr;
    for (;;) {
        // The class may have hidden windows too; only a visible one counts.
        for (HWND w = FindWindowExA(nullptr, nullptr, cls.c_str(), nullptr); w;
             w = FindWindowExA(nullptr, w, cls.c_str(), nullptr))
            if (IsWindowVisible(w)) wnd = w;
        if (wnd || static_cast<LONG>(GetTickCount() - end) >= 0) break;
        Sleep(20);
    }
    if (!wnd) {
        std::printf("error=no visible window\n");
        return 1;
    }
    if (delay) Sleep(delay);
    std::printf("hwnd=%lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(wnd)));
    const bool posted = PostMessageA(wnd, WM_CLOSE, 0, 0) != 0;
    std::printf("posted=%d\n", posted ? 1 : 0);
    std::fflush(stdout);
    return posted ? 0 : 1;
}

// listener: the test kit's outside listener of the update agent. Owns a
// hidden top-level window of class "LumListener" and records every message
// posted to it with a number of WM_USER or above.
//   listener OUTFILE [--timeout=SECONDS]   run; when ready, OUTFILE holds
//                                           "hwnd=<decimal window handle>"
//   listener --stop                        close every running listener
// Each recorded message appends one line to OUTFILE:
//   msg=<message number> wparam=<decimal> lparam=<decimal>
// (wParam and lParam as signed 32-bit numbers).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kClass = "LumListener";
std::string gOut;

void AppendLine(const std::string& text)
{
    FILE* f = std::fopen(gOut.c_str(), "ab");
    if (!f) return;
    std::fputs((text + "\n").c_str(), f);
    std::fclose(f);
}

LRESULT CALLBACK ListenerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg >= WM_USER) {
        AppendLine("msg=" + std::to_string(msg) + " wparam=" + std::to_string(static_cast<int32_t>(wp)) +
                   " lparam=" + std::to_string(static_cast<int32_t>(lp)));
        return 0;
    }
    if (msg == WM_TIMER || msg == WM_CLOSE) {
        DestroyWindow(wnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::string(argv[1]) == "--stop") {
        HWND w;
        int closed = 0;
        while ((w = FindWindowA(kClass, nullptr)) != nullptr && closed < 50) {
            SendMessageA(w, WM_CLOSE, 0, 0);
            ++closed;
        }
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: listener OUTFILE [--timeout=SECONDS] | listener --stop\n");
        return 2;
    }
    gOut = argv[1];
    int timeout = 300;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--timeout=", 0) == 0) timeout = std::atoi(a.c_str() + 10);
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    if (!RegisterClassA(&wc)) return 1;
    HWND wnd = CreateWindowExA(0, kClass, "listener", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                               wc.hInstance, nullptr);
    if (!wnd) return 1;
    SetTimer(wnd, 1, static_cast<UINT>(timeout) * 1000u, nullptr);
    // Ready: the handle is written once the window can receive messages.
    AppendLine("hwnd=" + std::to_string(reinterpret_cast<uintptr_t>(wnd)));
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

// Test-kit baseline of the agent's idle benchmark: an empty GUI program
// with one hidden window and a one-second timer that does nothing, the
// least a resident agent can cost. Ends by itself after the seconds given
// (default 600).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    const int life = argc > 1 ? std::atoi(argv[1]) : 600;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumIdleTimer";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    SetTimer(w, 1, 1000, nullptr);
    int ticks = 0;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER && ++ticks >= life) break;
        DispatchMessageA(&m);
    }
    return 0;
}

// tracecat: the test kit's debug viewer. Owns a window of class ".LDebug.",
// receives the registered message ".L_DebugMsg." (wParam 1, lParam a global
// atom) and appends each text to OUTFILE. OUTFILE.pieces gets one line per
// received text, "<length>:<text>" with CR and LF written as \r and \n, so a
// test can see how a line was cut.
//   tracecat OUTFILE [--timeout=SECONDS]   run (OUTFILE appears when ready)
//   tracecat --stop                        close a running tracecat
//   tracecat OUTFILE --hang [--timeout=S]  a viewer that never answers: its
//                                          window exists, its thread sleeps
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

UINT gDebugMessage = 0;
std::string gOut;

void AppendFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

LRESULT CALLBACK ViewerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == gDebugMessage && gDebugMessage != 0) {
        if (wp == 1) {
            char buf[256] = {};
            UINT n = GlobalGetAtomNameA(static_cast<ATOM>(lp), buf, sizeof buf);
            std::string text(buf, n);
            AppendFile(gOut, text);
            AppendFile(gOut + ".pieces", std::to_string(text.size()) + ":" + Escaped(text) + "\n");
        }
        return 1;
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
        while ((w = FindWindowA(".LDebug.", nullptr)) != nullptr && closed < 50) {
            DWORD_PTR answer = 0;  // a hung viewer must not hold up the stop
            SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer);
            ++closed;
        }
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: tracecat OUTFILE [--timeout=SECONDS] | tracecat --stop\n");
        return 2;
    }
    gOut = argv[1];
    int timeout = 600;
    bool hang = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--timeout=", 0) == 0) timeout = std::atoi(a.c_str() + 10);
        if (a == "--hang") hang = true;
    }
    gDebugMessage = RegisterWindowMessageA(".L_DebugMsg.");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = ".LDebug.";
    if (!RegisterClassA(&wc)) return 1;
    HWND wnd = CreateWindowExA(0, ".LDebug.", "tracecat", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                               wc.hInstance, nullptr);
    if (!wnd) return 1;
    SetTimer(wnd, 1, static_cast<UINT>(timeout) * 1000u, nullptr);
    // Ready: the output file exists once the window can receive texts.
    AppendFile(gOut, "");
    AppendFile(gOut + ".pieces", "");
    if (hang) {
        Sleep(static_cast<DWORD>(timeout) * 1000u);
        return 0;
    }
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

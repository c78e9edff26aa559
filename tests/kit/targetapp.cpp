// Test-kit program that the process tests look for, close and terminate. It
// owns three top-level windows, created in this order:
//   a hidden auxiliary window without title      class "TargetAppAux"
//   the main window, titled and visible          class "TargetAppMain"
//   a dialog owned by the main window, visible   class "TargetAppDialog"
// Switches (each "--name=value"):
//   --title=TEXT     main window title (default "Target App Main")
//   --pidfile=FILE   writes its process id there once the windows exist
//   --log=FILE       appends "WM_CLOSE w l" / "WM_QUIT w l" for each arrival
//   --ignore-close   WM_CLOSE is logged but does not close the program
//   --life=MS        ends by itself after MS (default 60000), so that a
//                    failed test never leaves it behind
// Every start, with switches or without (a program started again by
// somebody else), appends "show=N" to "<its own path>.starts": the show
// state it was given (-1 when none).
// Under Wine in Xvfb each visible window takes about 2 s to be destroyed, so
// after WM_CLOSE this program needs some 4 s to end.
// Exit code: 0 after WM_CLOSE, the wParam of a WM_QUIT posted from outside,
// 3 when its life ran out.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string gLog;
bool gIgnoreClose = false;
constexpr UINT_PTR kLifeTimer = 1;

std::string Option(int argc, char** argv, const std::string& name, const std::string& def)
{
    const std::string prefix = "--" + name + "=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
    }
    return def;
}

bool Flag(int argc, char** argv, const std::string& name)
{
    for (int i = 1; i < argc; ++i)
        if (argv[i] == "--" + name) return true;
    return false;
}

void WriteText(const std::string& file, const std::string& text, bool append)
{
    if (file.empty()) return;
    HANDLE f = CreateFileA(file.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

std::string Arrival(const char* name, WPARAM w, LPARAM l)
{
    return std::string(name) + " " + std::to_string(w) + " " + std::to_string(l) + "\n";
}

LRESULT CALLBACK MainProc(HWND wnd, UINT msg, WPARAM w, LPARAM l)
{
    switch (msg) {
    case WM_CLOSE:
        WriteText(gLog, Arrival("WM_CLOSE", w, l), true);
        if (!gIgnoreClose) DestroyWindow(wnd);
        return 0;
    case WM_TIMER:
        if (w == kLifeTimer) PostQuitMessage(3);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(wnd, msg, w, l);
}

HWND Make(const char* cls, const char* title, DWORD style, HWND owner, WNDPROC proc)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, title, style, 40, 40, 320, 200, owner, nullptr, wc.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const int given = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    WriteText(std::string(self) + ".starts", "show=" + std::to_string(given) + "\r\n", true);

    gLog = Option(argc, argv, "log", "");
    gIgnoreClose = Flag(argc, argv, "ignore-close");
    const std::string title = Option(argc, argv, "title", "Target App Main");
    const int life = std::atoi(Option(argc, argv, "life", "60000").c_str());

    HWND aux = Make("TargetAppAux", "", WS_POPUP, nullptr, DefWindowProcA);
    HWND main = Make("TargetAppMain", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, MainProc);
    HWND dialog = Make("TargetAppDialog", "Options", WS_POPUP | WS_CAPTION | WS_VISIBLE, main, DefWindowProcA);
    if (!aux || !main || !dialog) return 2;
    SetTimer(main, kLifeTimer, static_cast<UINT>(life > 0 ? life : 60000), nullptr);
    WriteText(Option(argc, argv, "pidfile", ""), std::to_string(GetCurrentProcessId()), false);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // WM_QUIT ends the loop; one posted from outside is logged too.
    if (msg.message == WM_QUIT && msg.lParam != 0) WriteText(gLog, Arrival("WM_QUIT", msg.wParam, msg.lParam), true);
    return static_cast<int>(msg.wParam);
}

// ProcessViewer, acting on processes: the main window, closing, quitting and
// terminating a program, and the waits for a program or a window to go.
#include <windows.h>

#include <memory>

#include "sys/Handles.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

constexpr WPARAM kCloseWParam = 15;
constexpr LPARAM kCloseLParam = 255;
constexpr uint32_t kDefaultWaitMs = 1000;


BOOL CALLBACK CollectWindow(HWND wnd, LPARAM param)
{
    auto& analizer = *reinterpret_cast<TAnalizer*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != analizer.pid) return TRUE;
    // Two characters are enough to tell an empty title; GetWindowText reads
    // another process's title without asking it.
    char title[2];
    const bool titled = ::GetWindowTextA(wnd, title, sizeof title) > 0;
    if (!analizer.Add(reinterpret_cast<uintptr_t>(wnd), titled, ::IsWindowVisible(wnd) != FALSE)) {
        TracePid({" FindMainWindow: more than ", IntText(TAnalizer::kCapacity),
                   " windows, the rest is not considered"});
        return FALSE;
    }
    return TRUE;
}

uint64_t OwnerOf(uint64_t wnd)
{
    return reinterpret_cast<uintptr_t>(::GetWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(wnd)), GW_OWNER));
}

// The list search of NT systems: the last-listed process of the program.
uint32_t FindInProcessList(const std::string& program, bool fullPath)
{
    return FindPidInProcessList(ListProcesses(fullPath), Unquote(program), ShortPathOf);
}

}  // namespace

HWND FindMainWindowOfProcess(uint32_t pid)
{
    if (pid == 0) return nullptr;
    // About 24 KB: not for the stack.
    auto analizer = std::make_unique<TAnalizer>();
    analizer->Clear();
    analizer->pid = pid;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(analizer.get()));
    analizer->Score(OwnerOf);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(analizer->Best()));
}

HWND FindMainWindow(const std::string& program, bool fullPath)
{
    return FindMainWindowOfProcess(FindProcess(program, fullPath));
}

bool PostProcessMessage(const std::string& program, bool fullPath, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND wnd = FindMainWindow(program, fullPath);
    TracePid({" PostProcessMessage(", program, ", ", IntText(message), ") to window ",
               IntText(reinterpret_cast<uintptr_t>(wnd))});
    if (!wnd) return false;
    return ::PostMessageA(wnd, message, wParam, lParam) != FALSE;
}

bool CloseProgram(const std::string& program, bool fullPath, uint32_t waitMs)
{
    const bool posted = PostProcessMessage(program, fullPath, WM_CLOSE, kCloseWParam, kCloseLParam);
    if (posted && waitMs > 0) WaitWhileRunning(program, waitMs);
    return posted;
}

bool QuitProgram(const std::string& program, bool fullPath)
{
    return PostProcessMessage(program, fullPath, WM_QUIT, kCloseWParam, kCloseLParam);
}

bool TerminateProgram(const std::string& program, bool fullPath)
{
    const uint32_t pid = IsNT() ? FindInProcessList(program, fullPath) : FindProcessByToolHelp(program, fullPath);
    if (pid == 0) return false;
    KernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    const bool done = process && ::TerminateProcess(process.Get(), 0);
    TracePid({" TerminateProgram(", program, ") pid ", IntText(pid),
               (done ? " ended" : " failed")});
    return done;
}

bool IsProgramRunning(const std::string& program)
{
    const std::string p = Unquote(program);
    if (p.empty()) return false;
    return (IsNT() ? FindInProcessList(p, false) : FindProcessByToolHelp(p, false)) > 0;
}

bool WaitWhileRunning(const std::string& program, uint32_t timeMs)
{
    const std::string p = Unquote(program);
    const DWORD limit = timeMs > 0 ? timeMs : kDefaultWaitMs;
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (!IsProgramRunning(p)) return true;
        WaitPumping(0, 100);
        if (::GetTickCount() - start >= limit) return !IsProgramRunning(p);
    }
}

void WaitWhileWindow(const std::string& className, const std::string& title)
{
    // Both empty would name any window at all, and the wait would never end.
    if (className.empty() && title.empty()) return;
    const char* cls = className.empty() ? nullptr : className.c_str();
    const char* text = title.empty() ? nullptr : title.c_str();
    while (::FindWindowA(cls, text)) YieldX(100);
}

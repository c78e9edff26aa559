// It works without exceptions: the runtime calls these handlers directly,
// and none of them returns.
#include "stub/StubErrorBoundaryWin.h"

#include <windows.h>

#include <exception>
#include <new>
#include <string>

#include "package/PackX.h"
#include "stub/StubStateWin.h"
#include "stub/StubTempFoldersWin.h"
#include "stub/StubTexts.h"
#include "stub/StubWindowWin.h"
#include "sys/CommandLine.h"
#include "sys/Files.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"

namespace {

// Memory held back for the clean-up: the out-of-memory end gives it up first,
// so that the trace, the folder walk and the box have room.
constexpr size_t kReserveBytes = 256 * 1024;
void* gReserve = nullptr;
volatile LONG gEnding = 0;

void OnOutOfMemory() { EndUnexpectedly("out of memory"); }

// Reached by an exception nobody catches (or one that meets a function that
// may not throw), and by the runtime's own aborts.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info)
{
    const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
    EndUnexpectedly(Cat({"system exception 0x", UpperCase(HexDigits(code, 8))}).c_str());
}

bool EndsSilently(const TStubRun* run)
{
    return (run && run->isAgent) || HasSwitch("/hide") || (run && run->package && run->package->RunHidden());
}

}  // namespace

void InstallErrorBoundary()
{
    gReserve = ::VirtualAlloc(nullptr, kReserveBytes, MEM_COMMIT, PAGE_READWRITE);
    std::set_new_handler(OnOutOfMemory);
    ::SetUnhandledExceptionFilter(OnUnhandledException);
}

void EndUnexpectedly(const char* what)
{
    // A second fault while cleaning up ends at once.
    if (::InterlockedExchange(&gEnding, 1) != 0) ::ExitProcess(kUnexpectedEndExitCode);
    if (gReserve) {
        ::VirtualFree(gReserve, 0, MEM_RELEASE);
        gReserve = nullptr;
    }
    TracePid({" ==== STUB ENDED UNEXPECTEDLY: ", what});
    // The handlers get no context: the run is the active one (none before
    // the main body made it).
    const TStubRun* run = ActiveRun();
    // The window's timers must not start a run or an agent step while the
    // folder walk below serves the queue.
    if (HWND wnd = run ? run->window.window : nullptr) {
        ::KillTimer(wnd, kRunTimer);
        ::KillTimer(wnd, kProgressRepaintTimer);
        ::ShowWindow(wnd, SW_HIDE);
    }
    if (run) {
        if (!run->folders.setup.empty()) DeleteTree(run->folders.setup, true);
        RemoveAlternateWorkFolder(run->folders);
    }
    if (!EndsSilently(run)) {
        const std::string text = Cat({std::string("The setup ended unexpectedly ("), what,
                                      ").\r\n\r\nIts temporary files were removed. Please start the setup again."});
        const std::string caption = run && run->package ? StubText(*run->package, kTextError) : kTextError.Default;
        ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
    }
    TracePid({" ==== STUB END (unexpected) ===="});
    ::ExitProcess(kUnexpectedEndExitCode);
}

// stubfault: the real stub with one fault injected, for the tests of its
// error boundary. The shipped stub.exe carries no such hook: this program is
// the stub's own main with a thread timer in front, which strikes once the
// run's temporary folder holds a given file.
//
//   LUM_FAULT=oom     allocates until memory runs out
//   LUM_FAULT=throw   lets an exception reach a function that may not throw
//                     (the runtime then terminates)
//   LUM_FAULT_FILE=N  strikes once N exists in the run's temporary folder
//
// Without LUM_FAULT it is the plain stub. Packed with lumpack --stub, it
// makes packages like stub.exe does.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "stub/StubErrorBoundaryWin.h"
#include "stub/StubRolesWin.h"
#include "stub/StubStateWin.h"
#include "sys/Files.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Win64.h"

namespace {

std::string EnvText(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string gMode;
std::string gFile;
std::vector<void*> gHeld;

[[gnu::noinline]] void Raise() { throw std::runtime_error("stray exception"); }
void RaiseWherePlainCodeRuns() noexcept { Raise(); }

VOID CALLBACK FaultTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    const TStubRun* run = ActiveRun();
    const std::string folder = run ? run->folders.setup : std::string();
    if (folder.empty() || !FileExistsX(folder + "\\" + gFile)) return;
    KillTimer(nullptr, id);
    Trace("stubfault: " + gMode + " now");
    if (gMode == "oom") {
        gHeld.reserve(4096);
        for (;;) gHeld.push_back(::operator new(16u << 20));
    }
    if (gMode == "throw") RaiseWherePlainCodeRuns();
}

}  // namespace

int main()
{
    InitWin64();
    InitDebugChannel();
    InstallErrorBoundary();
    gMode = EnvText("LUM_FAULT");
    gFile = EnvText("LUM_FAULT_FILE");
    if (!gMode.empty() && !gFile.empty()) SetTimer(nullptr, 0, 20, FaultTimer);
    return RunStub();
}

// The stub's program entry: sets up the platform services, then runs the
// main body and ends with its exit code.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "stub/Stub.h"
#include "stub/StubRunWin.h"
#include "sys/LDebug.h"
#include "sys/Win64.h"

// libstdc++'s verbose terminate handler pulls in the demangler (about 180 KB);
// the stub has no console to print to anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The plain C entry: the name WinMain belongs to the window's own loop.
int main()
{
    // Before anything else loads a library: no DLL planted beside the
    // package may stand in for a system one.
    InitWin64();
    InitDebugChannel();
    // Before anything can fail: an unexpected end still cleans up.
    InstallErrorBoundary();
    return StubMainBody();
}

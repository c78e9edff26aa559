// The stub's program entry: sets up the platform services, then runs the
// main body and ends with its exit code.
#include <windows.h>

#include <string>

#include "stub/StubErrorBoundaryWin.h"
#include "stub/StubRolesWin.h"
#include "sys/LDebug.h"
#include "sys/Win64.h"

// The runtime pieces the stub provides itself are in StubMainRuntime.cpp.

// A plain C entry serves the GUI program as well; it takes the command line
// from the system, not from its arguments.
int main()
{
    // Before anything else loads a library: no DLL planted beside the
    // package may stand in for a system one.
    InitWin64();
    InitDebugChannel();
    // Before anything can fail: an unexpected end still cleans up.
    InstallErrorBoundary();
    return RunStub();
}

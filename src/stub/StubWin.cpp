// Main body of the stub (Win32): traces the start, runs the role and
// traces the end. The roles themselves come with the start-up window.
#include <windows.h>

#include <string>

#include "stub/Stub.h"
#include "sys/LWriteln.h"

namespace {
std::string Pid() { return std::to_string(GetCurrentProcessId()); }
}  // namespace

int StubMainBody()
{
    const std::string raw = GetCommandLineA();
    Trace(Pid() + " ==== STUB START ====> " + raw + "<");
    int exitCode = 0;
    Trace(Pid() + " ==== STUB END ====> " + raw + "<");
    Trace("");
    return exitCode;
}

// The stack protector's two hooks for the stub's code, which is built with
// -fstack-protector-strong. Defined here rather than taken from libssp: its
// failure report goes through stdio, which the stub otherwise never links.
//
// The guard is drawn from the system's entropy source before the program's
// own code runs (the constructor runs while the runtime starts, when no
// protected frame is active yet, so none sees the value change under it).
#include <windows.h>

#include <cstdint>

#include "sys/Platform.h"

extern "C" {

// The names the compiler's checks refer to.
extern uintptr_t __stack_chk_guard;
[[noreturn]] void __stack_chk_fail();

uintptr_t __stack_chk_guard = 0x2F8A5C3Eu;

// A smashed stack: nothing of this process can be trusted any more, so it
// ends at once, with the status Windows uses for it, running no handler.
[[noreturn]] void __stack_chk_fail()
{
    ::TerminateProcess(::GetCurrentProcess(), 0xC0000409u);  // STATUS_STACK_BUFFER_OVERRUN
    for (;;) ::ExitProcess(0xC0000409u);
}

}  // extern "C"

namespace {

__attribute__((constructor(101))) void DrawStackGuard()
{
    uintptr_t guard = 0;
    if (!SystemRandomBytes(&guard, sizeof guard) || guard == 0) {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        guard = static_cast<uintptr_t>(now.QuadPart) ^ ::GetCurrentProcessId() ^ ::GetTickCount() ^
                reinterpret_cast<uintptr_t>(&guard);
    }
    // A zero byte first stops a string copy from rewriting the guard whole.
    __stack_chk_guard = guard & ~static_cast<uintptr_t>(0xFF);
}

}  // namespace

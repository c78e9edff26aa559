// The system primitives of Platform.h from the system itself: a slim
// reader/writer lock (one pointer, zero when free) and RtlGenRandom, which
// advapi32 exports as SystemFunction036 and which needs no provider context.
#include <windows.h>


#include "sys/Platform.h"
#include "sys/Win64.h"

static_assert(sizeof(SRWLOCK) == sizeof(void*), "an SRW lock is one pointer");

void TLock::Enter() { ::AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&State)); }
void TLock::Leave() { ::ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&State)); }

namespace {

using RtlGenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);

// Looked up once, from advapi32 in the system folder by its full path; never
// released (the library stays loaded for the process anyway: it is one of
// the launcher's imports).
RtlGenRandomFn GenRandom()
{
    static RtlGenRandomFn fn = [] {
        HMODULE lib = LoadSystemLibrary("advapi32.dll");
        return lib ? ProcCast<RtlGenRandomFn>(::GetProcAddress(lib, "SystemFunction036")) : nullptr;
    }();
    return fn;
}

}  // namespace

bool SystemRandomBytes(void* buffer, size_t n)
{
    RtlGenRandomFn fn = GenRandom();
    return fn && n <= 0xFFFFFFFFu && fn(buffer, static_cast<ULONG>(n));
}

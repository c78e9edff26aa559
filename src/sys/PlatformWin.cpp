// The system primitives of Platform.h from the system itself: a slim
// reader/writer lock (one pointer, zero when free) and RtlGenRandom, which
// advapi32 exports as SystemFunction036 and which needs no provider context.
#include <windows.h>

#include <cstring>

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
        char dir[MAX_PATH + 1];
        const UINT n = ::GetSystemDirectoryA(dir, MAX_PATH - 16);
        if (n == 0 || n >= MAX_PATH - 16) return RtlGenRandomFn(nullptr);
        std::strcpy(dir + n, dir[n - 1] == '\\' ? "advapi32.dll" : "\\advapi32.dll");
        HMODULE lib = ::LoadLibraryExA(dir, nullptr, 0);
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

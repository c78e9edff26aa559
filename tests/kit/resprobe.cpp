// Test-kit probe of a process's resources, for the agent's idle benchmark:
//   resprobe PID
// writes handles=, gdi=, user=, workingset= and private= (bytes) of the
// process, one per line; "error=..." and exit code 1 when it cannot be
// opened. Figures the system cannot give are written as -1.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: resprobe PID\n");
        return 2;
    }
    const DWORD pid = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!p) {
        std::printf("error=cannot open %lu\n", static_cast<unsigned long>(pid));
        return 1;
    }
    DWORD handles = 0;
    std::printf("handles=%ld\n", GetProcessHandleCount(p, &handles) ? static_cast<long>(handles) : -1L);
    std::printf("gdi=%lu\n", static_cast<unsigned long>(GetGuiResources(p, GR_GDIOBJECTS)));
    std::printf("user=%lu\n", static_cast<unsigned long>(GetGuiResources(p, GR_USEROBJECTS)));
    PROCESS_MEMORY_COUNTERS_EX m = {};
    m.cb = sizeof m;
    if (GetProcessMemoryInfo(p, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m)) {
        std::printf("workingset=%lu\nprivate=%lu\n", static_cast<unsigned long>(m.WorkingSetSize),
                    static_cast<unsigned long>(m.PrivateUsage));
    } else {
        std::printf("workingset=-1\nprivate=-1\n");
    }
    CloseHandle(p);
    return 0;
}

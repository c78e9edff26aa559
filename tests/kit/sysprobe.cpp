// Test-kit probe of the system services, run by the Windows and e2e tests in
// a process of its own:
//   sysprobe init [NAME...]  InitWin64, then prints each start-up library's
//                            loaded path ("name=path", "name=" when absent)
//                            and "restricted=0|1"; then a plain LoadLibrary
//                            of each NAME ("load NAME=path", path empty when
//                            it did not load)
//   sysprobe load NAME       a plain LoadLibrary of NAME (the unprotected way);
//                            exit code 0 when it loaded
//   sysprobe osversion       GetOsVersion and the predicates as
//                            "version|name|sp|build|code|is64|xp|8orlater|nt"
//   sysprobe devtest         DevTestMode as 0 or 1
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

std::string ModulePath(HMODULE h)
{
    if (!h) return "";
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(h, buf, sizeof buf);
    return std::string(buf, n);
}

int Init(int count, char** names)
{
    InitWin64();
    for (const char* name : {"shell32.dll", "USP10.dll", "MSLS31.dll", "RICHED32.DLL"})
        std::printf("%s=%s\n", name, ModulePath(GetModuleHandleA(name)).c_str());
    std::printf("restricted=%d\n", DllSearchPathRestricted() ? 1 : 0);
    for (int i = 0; i < count; ++i)
        std::printf("load %s=%s\n", names[i], ModulePath(LoadLibraryA(names[i])).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "init") return Init(argc - 2, argv + 2);
    if (cmd == "load" && argc > 2) return LoadLibraryA(argv[2]) ? 0 : 1;
    if (cmd == "osversion") {
        const TOsVersionInfo v = GetOsVersion();
        std::printf("%s|%s|%s|%u|0x%X|%d|%d|%d|%d\n", v.version.c_str(), v.name.c_str(), v.servicePack.c_str(),
                    static_cast<unsigned>(v.build), static_cast<unsigned>(v.code), IsWindows64() ? 1 : 0,
                    IsWindowsXP() ? 1 : 0, IsWindows8OrLater() ? 1 : 0, IsNT() ? 1 : 0);
        return 0;
    }
    if (cmd == "devtest") {
        std::printf("%d\n", DevTestMode() ? 1 : 0);
        return 0;
    }
    std::fprintf(stderr, "usage: sysprobe init | load NAME | osversion | devtest\n");
    return 2;
}

// 64-bit Windows support: run-time look-ups of the 64-bit kernel functions,
// and the libraries loaded at start-up from the system folder.
#include "sys/Win64.h"

#include <string>

namespace {

// Look-up state: 255 = not yet looked up, then 1 (present) or 0 (absent).
constexpr uint8_t kUnknown = 255;

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);

uint8_t gHasNativeSystemInfo = kUnknown;
GetNativeSystemInfoFn gGetNativeSystemInfo = nullptr;
uint8_t gHasIsWow64Process = kUnknown;
IsWow64ProcessFn gIsWow64Process = nullptr;
uint8_t gHasRedirection = kUnknown;
uint8_t gIsWindows64 = kUnknown;

bool gInitDone = false;
bool gSearchRestricted = false;

// The libraries the launcher uses before its windows come up, in the order
// they are loaded. None of them is ever taken from the program's folder.
constexpr const char* kStartupLibraries[] = {"shell32.dll", "USP10.dll", "MSLS31.dll", "RICHED32.DLL"};
HMODULE gStartupHandles[sizeof(kStartupLibraries) / sizeof(kStartupLibraries[0])] = {};

// Not defined by older headers.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

FARPROC Kernel32Proc(const char* name)
{
    HMODULE k32 = ::GetModuleHandleA("kernel32.dll");
    return k32 ? ::GetProcAddress(k32, name) : nullptr;
}

// The system folder with a trailing "\", or empty when the system does not
// tell it (then no library is loaded at all rather than one found by name).
std::string SystemFolderWithSlash()
{
    char buf[MAX_PATH + 1];
    UINT n = ::GetSystemDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return "";
    std::string dir(buf, n);
    if (dir.back() != '\\') dir += '\\';
    return dir;
}

HMODULE LoadQuietly(const std::string& path, DWORD flags)
{
    UINT previous = ::SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE h = ::LoadLibraryExA(path.c_str(), nullptr, flags);
    ::SetErrorMode(previous);
    return h;
}

bool Exports(const char* library, const char* name)
{
    HMODULE h = LoadSystemLibrary(library);
    return h && ::GetProcAddress(h, name);
}

}  // namespace

HMODULE LoadSystemLibrary(const char* name)
{
    // Always by full path: a module of the same name that is already loaded
    // may be one that came from somewhere else.
    std::string dir = SystemFolderWithSlash();
    if (dir.empty()) return nullptr;
    // The altered search path takes the library's own imports from its
    // folder (the system folder) too, where the search is not restricted.
    return LoadQuietly(dir + name, gSearchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

void InitWin64()
{
    if (gInitDone) return;
    gInitDone = true;

    // Only the system folder (and the program's own imports, already bound)
    // may supply libraries from now on: a DLL dropped beside the setup in a
    // downloads folder must never stand in for a system one.
    if (auto setDefault = ProcCast<SetDefaultDllDirectoriesFn>(Kernel32Proc("SetDefaultDllDirectories")))
        gSearchRestricted = setDefault(kLoadLibrarySearchSystem32) != FALSE;
    // Older systems: at least take the current folder out of the search.
    if (auto setDllDir = ProcCast<SetDllDirectoryAFn>(Kernel32Proc("SetDllDirectoryA")))
        setDllDir("");

    for (size_t i = 0; i < sizeof(kStartupLibraries) / sizeof(kStartupLibraries[0]); ++i)
        gStartupHandles[i] = LoadSystemLibrary(kStartupLibraries[i]);
}

bool DllSearchPathRestricted() { return gSearchRestricted; }

bool NativeSystemInfo(SYSTEM_INFO& info)
{
    if (gHasNativeSystemInfo == kUnknown) {
        gGetNativeSystemInfo = ProcCast<GetNativeSystemInfoFn>(Kernel32Proc("GetNativeSystemInfo"));
        gHasNativeSystemInfo = gGetNativeSystemInfo ? 1 : 0;
    }
    if (!gHasNativeSystemInfo) return false;
    gGetNativeSystemInfo(&info);
    return true;
}

bool IsWow64(HANDLE process, bool& wow64)
{
    if (gHasIsWow64Process == kUnknown) {
        gIsWow64Process = ProcCast<IsWow64ProcessFn>(Kernel32Proc("IsWow64Process"));
        gHasIsWow64Process = gIsWow64Process ? 1 : 0;
    }
    if (!gHasIsWow64Process) return false;
    BOOL flag = FALSE;
    BOOL ok = gIsWow64Process(process, &flag);
    wow64 = flag != FALSE;
    return ok != FALSE;
}

bool HasFsRedirectionControl()
{
    if (gHasRedirection == kUnknown)
        gHasRedirection = (Kernel32Proc("Wow64DisableWow64FsRedirection") &&
                           Kernel32Proc("Wow64RevertWow64FsRedirection")) ? 1 : 0;
    return gHasRedirection == 1;
}

bool IsWindows64()
{
    if (gIsWindows64 == kUnknown) {
        SYSTEM_INFO info{};
        bool wow64 = false;
        bool yes = NativeSystemInfo(info) && IsWow64(::GetCurrentProcess(), wow64) && wow64 &&
                   HasFsRedirectionControl() && Exports("kernel32.dll", "GetSystemWow64DirectoryA") &&
                   Exports("advapi32.dll", "RegDeleteKeyExA");
        gIsWindows64 = yes ? 1 : 0;
    }
    return gIsWindows64 == 1;
}

uint8_t RegistryView64() { return 0; }

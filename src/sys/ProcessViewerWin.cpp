// ProcessViewer, finding processes: the process lists and the three roads of
// FindProcess. PSAPI is looked up at run time, as Windows 9x has none.
#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "sys/ExecPipe.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LSUB.h"
#include "sys/LWriteln.h"
#include "sys/Process.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x410
constexpr DWORD kIdBufferStep = 1024;                                        // bytes
constexpr DWORD kIdBufferLimit = 1024 * 1024;

struct TPsapi {
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using ModuleTextFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumProcessModules = nullptr;
    ModuleTextFn moduleFileName = nullptr;
    ModuleTextFn moduleBaseName = nullptr;

    bool Ready() const { return enumProcesses && enumProcessModules && moduleFileName && moduleBaseName; }
};

const TPsapi& Psapi()
{
    static const TPsapi psapi = [] {
        TPsapi p;
        HMODULE lib = LoadSystemLibrary("psapi.dll");
        if (!lib) return p;
        p.enumProcesses = ProcCast<TPsapi::EnumProcessesFn>(::GetProcAddress(lib, "EnumProcesses"));
        p.enumProcessModules = ProcCast<TPsapi::EnumProcessModulesFn>(::GetProcAddress(lib, "EnumProcessModules"));
        p.moduleFileName = ProcCast<TPsapi::ModuleTextFn>(::GetProcAddress(lib, "GetModuleFileNameExA"));
        p.moduleBaseName = ProcCast<TPsapi::ModuleTextFn>(::GetProcAddress(lib, "GetModuleBaseNameA"));
        return p;
    }();
    return psapi;
}

// Every process id, in the system's order. The buffer grows until the
// answer no longer fills it.
std::vector<DWORD> ProcessIds()
{
    std::vector<DWORD> ids;
    const TPsapi& api = Psapi();
    if (!api.Ready()) return ids;
    for (DWORD bytes = kIdBufferStep; bytes <= kIdBufferLimit; bytes += kIdBufferStep) {
        ids.assign(bytes / sizeof(DWORD), 0);
        DWORD used = 0;
        if (!api.enumProcesses(ids.data(), bytes, &used)) return {};
        if (used < bytes) {
            ids.resize(used / sizeof(DWORD));
            return ids;
        }
    }
    return ids;
}

std::string ModuleText(TPsapi::ModuleTextFn fn, HANDLE process, HMODULE module)
{
    char buf[MAX_PATH + 1];
    const DWORD n = fn(process, module, buf, MAX_PATH);
    return n > 0 && n <= MAX_PATH ? std::string(buf, n) : "";
}

}  // namespace

std::string ShortPathOf(const std::string& path)
{
    if (path.empty()) return "";
    char buf[32768];
    const DWORD n = ::GetShortPathNameA(path.c_str(), buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : "";
}

std::string ListProcessesPsapi(bool fullPath)
{
    const TPsapi& api = Psapi();
    std::vector<std::string> items;
    for (DWORD id : ProcessIds()) {
        std::string name;
        if (id == 0) {
            name = "System Idle Process";
        } else {
            KernelHandle process(::OpenProcess(kQueryAndRead, FALSE, id));
            if (!process) continue;
            name = ModuleText(api.moduleFileName, process.Get(), nullptr);
            if (!fullPath) name = NamePart(name);
        }
        if (name.empty()) continue;
        items.push_back(Cat({name, "=", IntText(id)}));
    }
    return items.empty() ? std::string("|") : SUB::Build(items);
}

std::string ListProcesses(bool fullPath) { return IsWindowsXP() ? ListProcessesPsapi(fullPath) : ListWindowProcesses(); }

std::string TasklistPath()
{
    const std::string system = SystemFolder(false);
    return system.empty() ? "" : system + "\\tasklist.exe";
}

uint32_t FindProcessByTasklist(const std::string& program)
{
    const std::string name = NamePart(Unquote(program));
    const std::string tasklist = TasklistPath();
    // Never by its bare name: the search would take a tasklist.exe that
    // lies beside this program (a downloads folder) before the system's.
    if (name.empty() || tasklist.empty()) return 0;
    uint32_t code = 0;
    std::string output, errors;
    RunCaptured(tasklist, "/FO csv", SW_HIDE, code, output, errors, 1);
    return FindPidInTasklist(output, name);
}

uint32_t FindProcessByPsapi(const std::string& program, bool fullPath)
{
    const std::string wanted = Unquote(program);
    const TPsapi& api = Psapi();
    if (wanted.empty() || !api.Ready()) return 0;
    const std::string wantedShort = ShortPathOf(wanted);
    const std::vector<DWORD> ids = ProcessIds();
    // From the last to the first: the last-listed match wins.
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        KernelHandle process(::OpenProcess(kQueryAndRead, FALSE, *it));
        if (!process) continue;
        HMODULE first = nullptr;
        DWORD needed = 0;
        if (!api.enumProcessModules(process.Get(), &first, sizeof first, &needed) || !first) continue;
        const std::string path = ModuleText(api.moduleFileName, process.Get(), first);
        const std::string base = ModuleText(api.moduleBaseName, process.Get(), first);
        if (ProcessNameMatches(wanted, wantedShort, path, base, fullPath, ShortPathOf)) return *it;
    }
    return 0;
}

uint32_t FindProcessByToolHelp(const std::string& program, bool fullPath)
{
    const std::string wanted = Unquote(program);
    if (wanted.empty()) return 0;
    const std::string wantedShort = ShortPathOf(wanted);
    FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    uint32_t found = 0;
    if (!::Process32First(snapshot.Get(), &entry)) return 0;
    do {
        // A full path on Windows 9x; on NT the file name only.
        const std::string path = entry.szExeFile;
        if (ProcessNameMatches(wanted, wantedShort, path, NamePart(path), fullPath, ShortPathOf))
            found = entry.th32ProcessID;  // the last match wins
    } while (::Process32Next(snapshot.Get(), &entry));
    return found;
}

uint32_t FindProcess(const std::string& program, bool fullPath)
{
    switch (ChooseFindRoad(IsNT(), IsWindows8OrLater())) {
    case TFindRoad::Tasklist:
        return FindProcessByTasklist(program);
    case TFindRoad::Psapi:
        return FindProcessByPsapi(program, fullPath);
    case TFindRoad::ToolHelp:
        return FindProcessByToolHelp(program, fullPath);
    }
    return 0;
}

// The system's folders on Windows. The shell's folder functions are looked
// up when asked for, so the launcher runs where they are missing.
#include <windows.h>

#include <cstring>

#include "sys/Files.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"
#include "text/Common.h"
#include "text/ShellDir.h"

namespace {

constexpr DWORD kShellPathBuffer = 1025;

using TSHGetFolderPathA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using TSHGetSpecialFolderPathA = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);

std::string FromBuffer(const char* buf) { return std::string(buf, strnlen(buf, kShellPathBuffer)); }

class TWinFolderSystem : public TFolderSystem {
public:
    std::string WindowsFolder() override { return ::WindowsFolder(false); }
    std::string SystemFolder() override { return ::SystemFolder(false); }
    std::string TempFolder() override { return ::TempFolder(false); }
    std::string OwnFolder() override { return ::OwnFolder(false); }
    std::string OriginFolder() override { return ::OriginFolder(); }
    std::string RegisteredOwner() override { return ::RegisteredOwner(); }
    std::string RegValue(const std::string& key, const std::string& name) override
    {
        return RegReadString(key, name, "", RegistryView64() != 0);
    }
    std::string FolderPath(int csidl) override
    {
        // SHFolder.dll only from the system folder: a copy planted beside a
        // downloaded package must never be the one that runs.
        HMODULE lib = LoadSystemLibrary("shfolder.dll");
        auto fn = lib ? ProcCast<TSHGetFolderPathA>(GetProcAddress(lib, "SHGetFolderPathA")) : nullptr;
        char buf[kShellPathBuffer] = {};
        if (!fn || fn(nullptr, csidl, nullptr, 0, buf) != 0) return "";
        return FromBuffer(buf);
    }
    std::string SpecialFolderPath(int csidl) override
    {
        HMODULE lib = LoadSystemLibrary("shell32.dll");
        auto fn = lib ? ProcCast<TSHGetSpecialFolderPathA>(GetProcAddress(lib, "SHGetSpecialFolderPathA")) : nullptr;
        char buf[kShellPathBuffer] = {};
        if (!fn || !fn(nullptr, buf, csidl, FALSE)) return "";
        return FromBuffer(buf);
    }
    bool DirExists(const std::string& path) override { return FolderExistsX(path); }
    bool IsLeadByte(unsigned char c) override { return IsDBCSLeadByte(c) != FALSE; }
};

}  // namespace

TFolderSystem& SystemFolders()
{
    static TWinFolderSystem sys;
    return sys;
}

std::string ShellDir(TShellDir which, bool withBackslash) { return ShellDir(SystemFolders(), which, withBackslash); }

// Utils, Win32 half: version resources and the operating system's version.
#include <cstring>
#include <vector>

#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

// version.dll is not one of the libraries the system always takes from its
// own folder, so it is not imported (the loader would look for it beside the
// program first) but loaded from the system folder when first needed.
struct VersionApi {
    DWORD(WINAPI* infoSize)(LPCSTR, LPDWORD) = nullptr;
    BOOL(WINAPI* info)(LPCSTR, DWORD, DWORD, LPVOID) = nullptr;
    BOOL(WINAPI* query)(LPCVOID, LPCSTR, LPVOID*, PUINT) = nullptr;
    bool Present() const { return infoSize && info && query; }
};

const VersionApi& Version()
{
    static const VersionApi api = [] {
        VersionApi a;
        if (HMODULE h = LoadSystemLibrary("version.dll")) {
            a.infoSize = ProcCast<decltype(a.infoSize)>(::GetProcAddress(h, "GetFileVersionInfoSizeA"));
            a.info = ProcCast<decltype(a.info)>(::GetProcAddress(h, "GetFileVersionInfoA"));
            a.query = ProcCast<decltype(a.query)>(::GetProcAddress(h, "VerQueryValueA"));
        }
        return a;
    }();
    return api;
}

constexpr DWORD kMaxVersionResource = 1u << 20;

// The whole version resource of a file, empty when it has none.
std::vector<char> VersionResource(const std::string& file)
{
    const VersionApi& api = Version();
    if (!api.Present()) return {};
    const std::string path = file.empty() ? OwnPath() : file;
    DWORD ignored = 0;
    const DWORD size = api.infoSize(path.c_str(), &ignored);
    // A version resource is a few KB (its length field is 16 bits); a file
    // that claims more is read as having none.
    if (size == 0 || size > kMaxVersionResource) return {};
    std::vector<char> data(size);
    if (!api.info(path.c_str(), 0, size, data.data())) return {};
    return data;
}

bool QueryValue(const std::vector<char>& data, const char* subBlock, void** value, UINT* len)
{
    return Version().query(data.data(), subBlock, value, len) != FALSE;
}

bool NeedsReformat(int width, int parts) { return width > 1 || parts < 4; }

}  // namespace

std::string GetExeVersion(const std::string& file, int width, int parts)
{
    const std::vector<char> data = VersionResource(file);
    if (data.empty()) return "";
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!QueryValue(data, "\\", reinterpret_cast<void**>(&info), &len) || !info ||
        len < sizeof(VS_FIXEDFILEINFO))
        return "";
    return FileVersionText(info->dwFileVersionMS, info->dwFileVersionLS, width, parts);
}

std::string GetProductVersion(const std::string& file, int width, int parts)
{
    const std::vector<char> data = VersionResource(file);
    if (data.empty()) return "";
    WORD* translation = nullptr;
    UINT len = 0;
    if (!QueryValue(data, "\\VarFileInfo\\Translation",
                          reinterpret_cast<void**>(&translation), &len) ||
        !translation || len < 2 * sizeof(WORD))
        return "";
    const std::string query =
        Cat({"\\StringFileInfo\\", HexDigits(translation[0], 4), HexDigits(translation[1], 4), "\\ProductVersion"});
    char* value = nullptr;
    if (!QueryValue(data, query.c_str(), reinterpret_cast<void**>(&value), &len) ||
        !value || len == 0)
        return "";
    // len counts characters, possibly with the terminating NUL.
    std::string text(value, ::strnlen(value, len));
    text = ReplaceChar(text, ',', '.');
    return NeedsReformat(width, parts) ? ReformatVersion(text, width, parts) : text;
}

bool IsServer()
{
    if (::GetSystemMetrics(SM_SERVERR2) != 0) return true;
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) return false;
    return ex.wProductType == VER_NT_DOMAIN_CONTROLLER || ex.wProductType == VER_NT_SERVER;
}

const TOsVersionRecord& OsVersionRecord()
{
    // Filled once, on the main thread before any other thread runs.
    static const TOsVersionRecord record = [] {
        TOsVersionRecord rec;
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;  // the 148-byte record
        if (::GetVersionExA(&info)) {
            rec.major = info.dwMajorVersion;
            rec.minor = info.dwMinorVersion;
            rec.build = info.dwBuildNumber;
            rec.platformId = info.dwPlatformId;
            rec.servicePack = std::string(info.szCSDVersion, ::strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
        }
        // Programs that do not declare the newer systems are told 6.2; the
        // system's own kernel32.dll knows better.
        if (rec.platformId == kPlatformNT && (rec.major > 6 || (rec.major == 6 && rec.minor >= 2)))
            rec = WithKernelVersion(rec, GetProductVersion(SystemFolder(true) + "kernel32.dll", 1, 4));
        rec.is64 = IsWindows64();
        rec.isServer = IsServer();
        return rec;
    }();
    return record;
}

TOsVersionInfo GetOsVersion() { return DescribeOsVersion(OsVersionRecord()); }

bool IsNT() { return IsNT(OsVersionRecord()); }

bool IsWindowsXP()
{
    static const bool xp = IsWindowsXP(OsVersionRecord());
    return xp;
}

bool IsWindows8OrLater() { return IsWindows8OrLater(OsVersionRecord()); }

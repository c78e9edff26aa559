// Utils, Win32 half: registry reading, and the user and computer names.
#include <cstring>
#include <vector>

#include "sys/Handles.h"
#include "sys/RegText.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif

namespace {

HKEY RootKey(TRegRoot root)
{
    switch (root) {
    case TRegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case TRegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case TRegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case TRegRoot::Users: return HKEY_USERS;
    case TRegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    case TRegRoot::DynData: return HKEY_DYN_DATA;
    }
    return HKEY_CURRENT_USER;
}

std::string CurrentVersionKey()
{
    return IsNT() ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                  : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
}

}  // namespace

HKEY RegRootFromName(const std::string& name) { return RootKey(RegRootIdFromName(name)); }

TRegPath SplitRegPath(const std::string& path)
{
    TRegPathText parts = SplitRegPathText(path);
    return TRegPath{RootKey(parts.root), std::move(parts.subkey)};
}

std::string RegReadString(const std::string& path, const std::string& valueName, const std::string& def,
                          bool view64)
{
    const TRegPath p = SplitRegPath(path);
    RegKey key;
    const REGSAM access = KEY_READ | (view64 ? KEY_WOW64_64KEY : 0);
    if (::RegOpenKeyExA(p.root, p.subkey.c_str(), 0, access, key.Put()) != ERROR_SUCCESS) return def;
    std::vector<char> buf(kRegReadLimit);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buf.size());
    if (::RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                           &size) != ERROR_SUCCESS)
        return def;
    if (size > buf.size()) size = static_cast<DWORD>(buf.size());
    return RegDataText(type, std::string(buf.data(), size));
}

std::string RegisteredOwner()
{
    return Trim(RegReadString(CurrentVersionKey(), "RegisteredOwner", CurrentUserName(), IsWindows64()));
}

std::string RegisteredOrganization()
{
    return Trim(RegReadString(CurrentVersionKey(), "RegisteredOrganization", "", IsWindows64()));
}

std::string CurrentUserName()
{
    char buf[256];
    DWORD size = sizeof buf;
    if (!::GetUserNameA(buf, &size)) return "";
    return Trim(std::string(buf, ::strnlen(buf, sizeof buf)));
}

std::string ComputerNameText()
{
    char buf[256];
    DWORD size = sizeof buf;
    if (!::GetComputerNameA(buf, &size)) return "";
    return Trim(std::string(buf, ::strnlen(buf, sizeof buf)));
}

std::string UserDomainName()
{
    const std::string user = CurrentUserName();
    if (user.empty()) return "";
    std::vector<BYTE> sid(256);
    DWORD sidSize = static_cast<DWORD>(sid.size());
    char domain[256];
    DWORD domainSize = sizeof domain;
    SID_NAME_USE use;
    if (!::LookupAccountNameA(nullptr, user.c_str(), sid.data(), &sidSize, domain, &domainSize, &use)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || sidSize <= sid.size()) return "";
        sid.resize(sidSize);
        domainSize = sizeof domain;
        if (!::LookupAccountNameA(nullptr, user.c_str(), sid.data(), &sidSize, domain, &domainSize, &use))
            return "";
    }
    return std::string(domain, ::strnlen(domain, sizeof domain));
}

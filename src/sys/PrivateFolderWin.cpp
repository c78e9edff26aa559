// PrivateFolder, Win32 half: the token test, the access list and the
// creation, and the reparse-point tests.
#include <windows.h>

#include "sys/Files.h"
#include "sys/LWriteln.h"
#include "sys/PrivateFolder.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

// Looked up by name: the systems without access lists (the 9x family) lack
// them, and there a folder is created as before.
using SddlToSdFn = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
using SidToTextFn = BOOL(WINAPI*)(PSID, LPSTR*);
using TokenMemberFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);

template <typename Fn>
Fn AdvapiFn(const char* name)
{
    HMODULE lib = LoadSystemLibrary("advapi32.dll");
    return lib ? ProcCast<Fn>(::GetProcAddress(lib, name)) : nullptr;
}

std::string UserSidText()
{
    const auto sidToText = AdvapiFn<SidToTextFn>("ConvertSidToStringSidA");
    HANDLE token = nullptr;
    if (!sidToText || !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
    std::string text;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size ? size : 1, '\0');
    if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        LPSTR sid = nullptr;
        if (sidToText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid) && sid) {
            text = sid;
            ::LocalFree(sid);
        }
    }
    ::CloseHandle(token);
    return text;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

}  // namespace

bool RunsElevated()
{
    const auto member = AdvapiFn<TokenMemberFn>("CheckTokenMembership");
    if (!member) return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    &admins))
        return false;
    // Under UAC a filtered token carries the Administrators only for denial,
    // and the membership test says no: only an elevated token counts.
    BOOL isMember = FALSE;
    const bool ok = member(nullptr, admins, &isMember);
    ::FreeSid(admins);
    return ok && isMember;
}

std::string PrivateFolderSddl(bool elevated)
{
    // P: the list is protected, nothing is inherited from the parent.
    // OICI: files and folders inside get the same entries. Elevated, the
    // users may still read and run what is inside (an engine may hand over
    // to a program of the user's), never write.
    if (elevated) return "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    const std::string user = UserSidText();
    return user.empty() ? "" : "D:P(A;OICI;FA;;;" + user + ")";
}

bool CreatePrivateFolder(const std::string& path)
{
    const std::string folder = WithoutTrailingSlash(path);
    if (folder.empty()) return false;
    const std::string parent = FolderPart(folder);
    if (!parent.empty() && parent.back() != ':' && !FolderExistsX(parent)) ForceFolders(parent);

    const auto sddlToSd = AdvapiFn<SddlToSdFn>("ConvertStringSecurityDescriptorToSecurityDescriptorA");
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (sddlToSd) {
        const std::string sddl = PrivateFolderSddl(RunsElevated());
        // A system that knows access lists but cannot build ours gets no
        // folder rather than one anybody may write to.
        if (sddl.empty() || !sddlToSd(sddl.c_str(), 1 /* SDDL_REVISION_1 */, &sd, nullptr)) {
            Trace(Cat({"CreatePrivateFolder: no access list for ", folder, " ", SysErrorText()}));
            return false;
        }
    }
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = sd;
    // CreateDirectory fails on any existing name, a junction included: the
    // folder we get is the one we made.
    const bool made = ::CreateDirectoryA(folder.c_str(), sd ? &sa : nullptr) != 0;
    const DWORD error = ::GetLastError();
    if (sd) ::LocalFree(sd);
    ::SetLastError(error);
    return made;
}

std::string CreateNumberedPrivateFolder(const std::string& base, uint32_t first, int tries)
{
    std::string last;
    for (int i = 0; i < tries; ++i) {
        last = NumberedFolderName(base, first, i);
        if (CreatePrivateFolder(last)) return last;
        // Only a taken name is worth the next number (a name held by another
        // user's folder may also answer "access denied").
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED) break;
    }
    Trace(Cat({"CreateNumberedPrivateFolder: no new folder up to ", last, ": ", SysErrorText()}));
    return "";
}

bool IsReparsePoint(const std::string& path)
{
    const DWORD a = ::GetFileAttributesA(WithoutTrailingSlash(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool PathCrossesReparsePoint(const std::string& root, const std::string& path)
{
    return PathCrossesReparsePoint(root, path, [](const std::string& p) { return IsReparsePoint(p); });
}

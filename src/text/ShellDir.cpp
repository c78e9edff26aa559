#include "text/ShellDir.h"
#include "sys/Utils.h"

#include <initializer_list>

namespace {


// The byte at `last` starts a character (it is not the trail of a lead byte).
bool StartsChar(const std::string& s, size_t last, TFolderSystem* sys, bool (*isLead)(unsigned char))
{
    size_t i = 0;
    while (i < last) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        i += (sys ? sys->IsLeadByte(c) : isLead && isLead(c)) ? 2 : 1;
    }
    return i == last;
}

std::string Rule(const std::string& path, bool with, TFolderSystem* sys, bool (*isLead)(unsigned char))
{
    std::string p = path;
    if (p.size() > 2 && p.back() == '\\' && StartsChar(p, p.size() - 1, sys, isLead)) p.pop_back();
    if (with && !p.empty() && !(p.back() == '\\' && StartsChar(p, p.size() - 1, sys, isLead))) p += '\\';
    return p;
}

class TRows {
public:
    explicit TRows(TFolderSystem& sys) : s_(sys) {}

    std::string Get(TShellDir d);

private:
    bool Exists(const std::string& p) { return !p.empty() && s_.DirExists(p); }
    std::string B(const std::string& p) { return Rule(p, true, &s_, nullptr); }
    std::string Plain(const std::string& p) { return Rule(p, false, &s_, nullptr); }
    // The first candidate that exists; the last one whether or not.
    std::string First(std::initializer_list<std::string> c)
    {
        for (const std::string& p : c)
            if (&p != c.end() - 1 && Exists(p)) return p;
        return *(c.end() - 1);
    }
    std::string Parent(const std::string& p)
    {
        const std::string q = Plain(p);
        const size_t slash = q.find_last_of('\\');
        if (slash == std::string::npos) return q;
        // The parent of a folder on a drive's root is the root itself ("C:\").
        return q.substr(0, slash) + (slash == 2 && q[1] == ':' ? "\\" : "");
    }
    // The folder itself when it exists, else its parent's rule below.
    std::string ParentIfExists(const std::string& p) { return Exists(p) ? Parent(p) : p; }

    TFolderSystem& s_;
};

std::string TRows::Get(TShellDir d)
{
    using D = TShellDir;
    switch (d) {
    case D::WinDir: return s_.WindowsFolder();
    case D::WinSysDir: return s_.SystemFolder();
    case D::WinSys16Dir: {
        std::string sys16 = Plain(s_.SystemFolder());
        const size_t p = sys16.rfind("32");
        if (p != std::string::npos) sys16.erase(p, 2);
        return First({sys16, B(s_.WindowsFolder()) + "System", s_.SystemFolder()});
    }
    case D::TempDir: return s_.TempFolder();
    case D::SrcDir: return s_.OwnFolder();
    case D::OriginDir: return s_.OriginFolder();
    case D::StartMenuDir: return s_.RegValue(kUserShellFoldersKey, "Start Menu");
    case D::ProgramFilesDir: return s_.RegValue(kCurrentVersionKey, "ProgramFilesDir");
    case D::CommonFilesDir: return s_.RegValue(kCurrentVersionKey, "CommonFilesDir");
    case D::FontDir: return First({s_.RegValue(kUserShellFoldersKey, "Fonts"), B(s_.WindowsFolder()) + "Fonts"});
    case D::ProfileBase: {
        const std::string p = Cat({B(s_.WindowsFolder()), "Profiles\\", s_.RegisteredOwner()});
        return Exists(p) ? p : s_.WindowsFolder();
    }
    case D::DocumentsAndSettingsDir: {
        const std::string p = ParentIfExists(ParentIfExists(s_.FolderPath(kCsidlPersonal)));
        return Exists(p) ? p : Get(D::ProfileBase);
    }
    case D::UserDir: {
        const std::string p = ParentIfExists(s_.FolderPath(kCsidlPersonal));
        return Exists(p) ? p : Get(D::ProfileBase);
    }
    case D::AllUsersDir: {
        const std::string p = ParentIfExists(s_.FolderPath(kCsidlCommonAppData));
        return Exists(p) ? p : s_.WindowsFolder();
    }
    case D::UserLocalAppDataDir:
        return First({s_.FolderPath(kCsidlLocalAppData), B(Get(D::ProfileBase)) + "Application Data"});
    case D::UserAppDataDir: return First({s_.FolderPath(kCsidlAppData), B(Get(D::ProfileBase)) + "Application Data"});
    case D::AllUsersAppDataDir:
        return First({s_.FolderPath(kCsidlCommonAppData), B(s_.WindowsFolder()) + "Application Data"});
    case D::MyDocumentsDir: return First({s_.FolderPath(kCsidlPersonal), B(Get(D::ProfileBase)) + "My Documents"});
    case D::AllUsersDocumentsDir:
        return First({s_.FolderPath(kCsidlCommonDocuments), B(s_.WindowsFolder()) + "Documents"});
    case D::UserStartMenuDir:
        return First({s_.SpecialFolderPath(kCsidlStartMenu), B(Get(D::UserDir)) + "Start Menu",
                      B(Get(D::AllUsersDir)) + "Start Menu"});
    case D::AllUsersStartMenuDir:
        return First({s_.SpecialFolderPath(kCsidlCommonStartMenu), B(Get(D::AllUsersDir)) + "Start Menu"});
    case D::UserStartProgramMenuDir:
        return First({s_.SpecialFolderPath(kCsidlPrograms), B(Get(D::UserDir)) + "Start Menu\\Programs",
                      B(Get(D::AllUsersDir)) + "Start Menu\\Programs"});
    case D::AllUsersStartProgramMenuDir:
        return First({s_.SpecialFolderPath(kCsidlCommonPrograms), B(Get(D::AllUsersDir)) + "Start Menu\\Programs"});
    case D::UserDesktopDir:
        return First({s_.SpecialFolderPath(kCsidlDesktopDirectory), B(Get(D::UserDir)) + "Desktop",
                      B(Get(D::AllUsersDir)) + "Desktop"});
    case D::AllUsersDesktopDir:
        return First({s_.SpecialFolderPath(kCsidlCommonDesktopDirectory), B(Get(D::AllUsersDir)) + "Desktop"});
    }
    return "";
}

}  // namespace

std::string WithBackslash(const std::string& path, bool withBackslash, bool (*isLeadByte)(unsigned char))
{
    return Rule(path, withBackslash, nullptr, isLeadByte);
}

std::string ShellDir(TFolderSystem& sys, TShellDir which, bool withBackslash)
{
    return Rule(TRows(sys).Get(which), withBackslash, &sys, nullptr);
}

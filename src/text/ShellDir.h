// The system's folders that placeholders stand for, each found by a fixed
// order of fall-backs so that some folder comes out on every Windows,
// including those whose shell lacks the folder functions.
#pragma once

#include <string>

// Shell folder numbers; 0x8000 asks the system to create a missing folder.
constexpr int kCsidlFlagCreate = 0x8000;
constexpr int kCsidlPersonal = 0x8005;
constexpr int kCsidlLocalAppData = 0x801C;
constexpr int kCsidlAppData = 0x801A;
constexpr int kCsidlCommonAppData = 0x8023;
constexpr int kCsidlCommonDocuments = 0x802E;
constexpr int kCsidlStartMenu = 0x0B;
constexpr int kCsidlCommonStartMenu = 0x16;
constexpr int kCsidlPrograms = 0x02;
constexpr int kCsidlCommonPrograms = 0x17;
constexpr int kCsidlDesktopDirectory = 0x10;
constexpr int kCsidlCommonDesktopDirectory = 0x19;

constexpr const char* kUserShellFoldersKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kCurrentVersionKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// What the folder rules ask of the system.
class TFolderSystem {
public:
    virtual ~TFolderSystem() = default;
    virtual std::string WindowsFolder() = 0;
    virtual std::string SystemFolder() = 0;
    virtual std::string TempFolder() = 0;
    virtual std::string OwnFolder() = 0;
    virtual std::string OriginFolder() = 0;
    virtual std::string RegisteredOwner() = 0;
    virtual std::string RegValue(const std::string& key, const std::string& name) = 0;  // "" when missing
    // The shell's queries; "" when the library, the function or the query fails.
    virtual std::string FolderPath(int csidl) = 0;         // SHGetFolderPathA
    virtual std::string SpecialFolderPath(int csidl) = 0;  // SHGetSpecialFolderPathA
    virtual bool DirExists(const std::string& path) = 0;
    virtual bool IsLeadByte(unsigned char) { return false; }
};

enum class TShellDir {
    WinDir, WinSysDir, WinSys16Dir, TempDir, SrcDir, OriginDir,
    StartMenuDir, ProgramFilesDir, CommonFilesDir, FontDir, ProfileBase,
    DocumentsAndSettingsDir, UserDir, AllUsersDir, UserLocalAppDataDir, UserAppDataDir,
    AllUsersAppDataDir, MyDocumentsDir, AllUsersDocumentsDir, UserStartMenuDir, AllUsersStartMenuDir,
    UserStartProgramMenuDir, AllUsersStartProgramMenuDir, UserDesktopDir, AllUsersDesktopDir,
};

// The trailing-backslash rule: a trailing backslash goes when the path is
// longer than two characters and it is not the second byte of a double-byte
// character; then one is added when asked for ("C:\" gives "C:" and "C:\").
// An empty path stays empty.
std::string WithBackslash(const std::string& path, bool withBackslash, bool (*isLeadByte)(unsigned char) = nullptr);

// A folder, evaluated afresh at every call.
std::string ShellDir(TFolderSystem& sys, TShellDir which, bool withBackslash);

// Win32: the running system's folders (the shell's functions looked up at
// run time, SHFolder.dll loaded from the system folder).
TFolderSystem& SystemFolders();
std::string ShellDir(TShellDir which, bool withBackslash);

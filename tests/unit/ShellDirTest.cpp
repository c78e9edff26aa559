#include <gtest/gtest.h>

#include <map>
#include <set>

#include "text/ShellDir.h"

namespace {

// A system made up of a few folders, with or without the shell's functions.
class TFakeFolders : public TFolderSystem {
public:
    std::string WindowsFolder() override { return windows; }
    std::string SystemFolder() override { return system; }
    std::string TempFolder() override { return temp; }
    std::string OwnFolder() override { return "E:\\Stub"; }
    std::string OriginFolder() override { return "D:\\Downloads"; }
    std::string RegisteredOwner() override { return "Owner"; }
    std::string RegValue(const std::string&, const std::string& name) override
    {
        auto it = reg.find(name);
        return it == reg.end() ? "" : it->second;
    }
    std::string FolderPath(int csidl) override
    {
        auto it = shfolder.find(csidl);
        return it == shfolder.end() ? "" : it->second;
    }
    std::string SpecialFolderPath(int csidl) override
    {
        auto it = shell32.find(csidl);
        return it == shell32.end() ? "" : it->second;
    }
    bool DirExists(const std::string& path) override { return dirs.count(path) != 0; }

    std::string windows = "C:\\WINDOWS";
    std::string system = "C:\\WINDOWS\\system32";
    std::string temp = "C:\\Temp\\";
    std::map<std::string, std::string> reg;
    std::map<int, std::string> shfolder, shell32;
    std::set<std::string> dirs{"C:\\WINDOWS", "C:\\WINDOWS\\system32"};
};

}  // namespace

TEST(ShellDir, TrailingBackslashRule)
{
    struct Case {
        const char* path;
        const char* without;
        const char* with;
    } cases[] = {
        {"C:\\Temp\\", "C:\\Temp", "C:\\Temp\\"}, {"C:\\Temp", "C:\\Temp", "C:\\Temp\\"},
        {"C:\\", "C:", "C:\\"},                   {"C:", "C:", "C:\\"},
        {"\\", "\\", "\\"},                       {"", "", ""},
        {"C:\\a\\\\", "C:\\a\\", "C:\\a\\"},  // one backslash goes, one is kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithBackslash(c.path, false), c.without) << c.path;
        EXPECT_EQ(WithBackslash(c.path, true), c.with) << c.path;
    }
    // "\" as the second byte of a double-byte character is no backslash.
    auto lead = [](unsigned char c) { return c == 0x81; };
    EXPECT_EQ(WithBackslash("C:\\a\x81\\", false, lead), "C:\\a\x81\\");
    EXPECT_EQ(WithBackslash("C:\\a\x81\\", true, lead), "C:\\a\x81\\\\");
    EXPECT_EQ(WithBackslash("C:\\\x81\x81\\", false, lead), "C:\\\x81\x81");

    TFakeFolders sys;
    sys.temp = "C:\\";
    EXPECT_EQ(ShellDir(sys, TShellDir::TempDir, false), "C:");
    EXPECT_EQ(ShellDir(sys, TShellDir::TempDir, true), "C:\\");
}

TEST(ShellDir, WithoutTheShellFunctionsTheProfileFallBacksApply)
{
    TFakeFolders sys;
    EXPECT_EQ(ShellDir(sys, TShellDir::MyDocumentsDir, false), "C:\\WINDOWS\\My Documents");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserAppDataDir, false), "C:\\WINDOWS\\Application Data");
    EXPECT_EQ(ShellDir(sys, TShellDir::AllUsersDocumentsDir, false), "C:\\WINDOWS\\Documents");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserDir, false), "C:\\WINDOWS");
    EXPECT_EQ(ShellDir(sys, TShellDir::AllUsersDir, false), "C:\\WINDOWS");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserStartMenuDir, false), "C:\\WINDOWS\\Start Menu");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserStartProgramMenuDir, true), "C:\\WINDOWS\\Start Menu\\Programs\\");
    sys.dirs.insert("C:\\WINDOWS\\Profiles\\Owner");
    EXPECT_EQ(ShellDir(sys, TShellDir::MyDocumentsDir, false), "C:\\WINDOWS\\Profiles\\Owner\\My Documents");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserLocalAppDataDir, false),
              "C:\\WINDOWS\\Profiles\\Owner\\Application Data");
    EXPECT_EQ(ShellDir(sys, TShellDir::DocumentsAndSettingsDir, false), "C:\\WINDOWS\\Profiles\\Owner");
    // The user's start menu: the profile's when it exists, else all users'.
    EXPECT_EQ(ShellDir(sys, TShellDir::UserDesktopDir, false), "C:\\WINDOWS\\Desktop");
    sys.dirs.insert("C:\\WINDOWS\\Profiles\\Owner\\Desktop");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserDesktopDir, false), "C:\\WINDOWS\\Profiles\\Owner\\Desktop");
}

TEST(ShellDir, ShellQueriesAndTheirParents)
{
    TFakeFolders sys;
    sys.shfolder[kCsidlPersonal] = "C:\\Users\\me\\Documents";
    sys.shfolder[kCsidlCommonAppData] = "C:\\ProgramData\\";
    sys.shell32[kCsidlStartMenu] = "C:\\Users\\me\\Start Menu";
    sys.shell32[kCsidlDesktopDirectory] = "C:\\Users\\me\\Desktop";
    // A query's answer counts only when the folder exists.
    EXPECT_EQ(ShellDir(sys, TShellDir::MyDocumentsDir, false), "C:\\WINDOWS\\My Documents");
    for (const char* d : {"C:\\Users\\me\\Documents", "C:\\Users\\me", "C:\\Users", "C:\\ProgramData\\",
                          "C:\\Users\\me\\Start Menu"})
        sys.dirs.insert(d);
    sys.dirs.insert("C:\\");
    EXPECT_EQ(ShellDir(sys, TShellDir::MyDocumentsDir, false), "C:\\Users\\me\\Documents");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserDir, false), "C:\\Users\\me");
    EXPECT_EQ(ShellDir(sys, TShellDir::DocumentsAndSettingsDir, false), "C:\\Users");
    EXPECT_EQ(ShellDir(sys, TShellDir::AllUsersDir, true), "C:\\");
    EXPECT_EQ(ShellDir(sys, TShellDir::AllUsersAppDataDir, false), "C:\\ProgramData");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserStartMenuDir, false), "C:\\Users\\me\\Start Menu");
    // The last fall-back is taken whether or not it exists.
    EXPECT_EQ(ShellDir(sys, TShellDir::UserDesktopDir, false), "C:\\Desktop");
    sys.dirs.insert("C:\\Users\\me\\Desktop");
    EXPECT_EQ(ShellDir(sys, TShellDir::UserDesktopDir, false), "C:\\Users\\me\\Desktop");
}

TEST(ShellDir, SystemAndRegistryRows)
{
    TFakeFolders sys;
    EXPECT_EQ(ShellDir(sys, TShellDir::WinSys16Dir, false), "C:\\WINDOWS\\system32");  // neither exists
    sys.dirs.insert("C:\\WINDOWS\\System");
    EXPECT_EQ(ShellDir(sys, TShellDir::WinSys16Dir, false), "C:\\WINDOWS\\System");
    sys.dirs.insert("C:\\WINDOWS\\system");
    EXPECT_EQ(ShellDir(sys, TShellDir::WinSys16Dir, false), "C:\\WINDOWS\\system");  // the last "32" removed
    sys.system = "C:\\W32\\system32\\";
    sys.dirs.insert("C:\\W32\\system");
    EXPECT_EQ(ShellDir(sys, TShellDir::WinSys16Dir, true), "C:\\W32\\system\\");

    EXPECT_EQ(ShellDir(sys, TShellDir::StartMenuDir, false), "");
    sys.reg["Start Menu"] = "X:\\missing\\";  // taken as read
    EXPECT_EQ(ShellDir(sys, TShellDir::StartMenuDir, false), "X:\\missing");
    sys.reg["Fonts"] = "X:\\nofonts";  // a missing folder: the Windows folder's
    EXPECT_EQ(ShellDir(sys, TShellDir::FontDir, false), "C:\\WINDOWS\\Fonts");
    sys.dirs.insert("X:\\nofonts");
    EXPECT_EQ(ShellDir(sys, TShellDir::FontDir, false), "X:\\nofonts");
    EXPECT_EQ(ShellDir(sys, TShellDir::OriginDir, true), "D:\\Downloads\\");
}

// Launch and the small path rules of the hardening: quoting a program path,
// the names of shortcut files, self-deletion batches and numbered folders.
#include <gtest/gtest.h>

#include "sys/Files.h"
#include "sys/Launch.h"
#include "sys/PrivateFolder.h"

namespace {

TEST(Launch, ProgramQuotedOnlyWhenItHoldsABlank)
{
    EXPECT_EQ(QuotedProgramPath("C:\\T\\SETUP_1\\Engine.exe"), "C:\\T\\SETUP_1\\Engine.exe");
    EXPECT_EQ(QuotedProgramPath("C:\\tmp dir\\SETUP_1\\Engine.exe"), "\"C:\\tmp dir\\SETUP_1\\Engine.exe\"");
    EXPECT_EQ(QuotedProgramPath("C:\\tab\there\\a.exe"), "\"C:\\tab\there\\a.exe\"");
    EXPECT_EQ(QuotedProgramPath("\"C:\\a b\\x.exe\""), "\"C:\\a b\\x.exe\"") << "never quoted twice";
    EXPECT_EQ(ProgramCommandLine("C:\\ag dir\\X_tool.exe", " /SleepX=5 "), "\"C:\\ag dir\\X_tool.exe\" /SleepX=5");
    EXPECT_EQ(ProgramCommandLine("C:\\a\\X_tool.exe", ""), "C:\\a\\X_tool.exe");
}

TEST(Files, OnlyShortcutFilesAreShortcuts)
{
    for (const char* yes : {"C:\\u\\Startup\\Tool.lnk", "C:\\u\\x.PIF", "D:\\Check for update.Url", "a.lnk"})
        EXPECT_TRUE(IsShortcutFile(yes)) << yes;
    for (const char* no : {"C:\\Windows\\system32\\kernel32.dll", "C:\\boot.ini", "C:\\u\\lnk", "C:\\u\\x.lnk.exe",
                           "C:\\u\\data.txt:x.lnk", "C:\\u\\x.lnkx", "", "C:\\u.lnk\\file"})
        EXPECT_FALSE(IsShortcutFile(no)) << no;
}

TEST(Files, SelfDeleteBatchNamesCarryTheirRandomBits)
{
    EXPECT_EQ(SelfDeleteBatchName(0x0123456789ABCDEFull), "_DEL_0123456789ABCDEF.BAT");
    EXPECT_EQ(SelfDeleteBatchName(0), "_DEL_0000000000000000.BAT");
    EXPECT_NE(SelfDeleteBatchName(1), SelfDeleteBatchName(2));
}

TEST(PrivateFolder, NumberedNames)
{
    EXPECT_EQ(NumberedFolderName("C:\\T\\SETUP_", 4660, 0), "C:\\T\\SETUP_4660");
    EXPECT_EQ(NumberedFolderName("C:\\T\\SETUP_", 4660, 2), "C:\\T\\SETUP_4662");
    EXPECT_EQ(NumberedFolderName("C:\\TEMP_", 0xFFFFFFFFu, 1), "C:\\TEMP_0");
}

TEST(PrivateFolder, PathsBelowTheRootCrossNoLink)
{
    static std::string link;  // the one reparse point of the case
    struct Case {
        const char* link;
        const char* path;
        bool crosses;
    } cases[] = {
        {"", "C:\\T\\SETUP_7\\sub\\a.txt", false},
        {"", "C:\\T\\SETUP_7", false},
        {"", "c:\\t\\setup_7\\A.TXT", false},                  // case does not matter
        {"", "C:\\T\\SETUP_70\\a.txt", true},                   // a sibling, not below
        {"", "C:\\T\\a.txt", true},                               // above the root
        {"C:\\T\\SETUP_7\\sub", "C:\\T\\SETUP_7\\sub\\deep\\a.txt", true},
        {"C:\\T\\SETUP_7\\sub", "C:\\T\\SETUP_7\\subway\\a.txt", false},
        {"C:\\T\\SETUP_7\\sub\\a.txt", "C:\\T\\SETUP_7\\sub\\a.txt", true},  // the file itself
        {"C:\\T\\SETUP_7", "C:\\T\\SETUP_7\\a.txt", true},  // the root itself
        {"C:\\T", "C:\\T\\SETUP_7\\a.txt", false},            // above the root is not ours to judge
    };
    for (const Case& c : cases) {
        link = c.link;
        EXPECT_EQ(PathCrossesReparsePoint("C:\\T\\SETUP_7\\", c.path,
                                          [](const std::string& p) { return !link.empty() && p == link; }),
                  c.crosses)
            << c.link << " / " << c.path;
    }
}

}  // namespace

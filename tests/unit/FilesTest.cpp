#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sys/Files.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return lines.size();
}

}  // namespace

TEST(SelfDeleteBatch, DeletesRetriesThenRemovesFolderAndItself)
{
    const std::string exe = "C:\\Temp\\My Setup\\Y_setup.exe";
    const std::string bat = "C:\\Temp\\_DEL_ME_.BAT";
    const std::vector<std::string> plain = Lines(SelfDeleteBatchText(exe, bat, false, 3));
    const std::vector<std::string> rd = Lines(SelfDeleteBatchText(exe, bat, true, 3));

    const std::string del = "DEL \"C:\\Temp\\My Setup\\Y_setup.exe\" >NUL 2>&1";
    const size_t start = IndexOf(plain, ":START");
    const size_t done = IndexOf(plain, ":DONE");
    ASSERT_LT(start, done);
    ASSERT_LT(done, plain.size());
    // Between the labels: delete, leave when gone, count, leave after the last
    // attempt, wait, go round again.
    EXPECT_EQ(plain[start + 1], del);
    EXPECT_EQ(plain[start + 2], "IF NOT exist \"C:\\Temp\\My Setup\\Y_setup.exe\" GOTO DONE");
    EXPECT_EQ(plain[start + 4], "IF \"%LUMDELTRY%\"==\"xxx\" GOTO DONE");
    EXPECT_EQ(plain[done - 1], "GOTO START");
    // The counter starts empty whatever the environment holds.
    EXPECT_LT(IndexOf(plain, "SET LUMDELTRY="), start);

    // After the loop: only the batch deletes itself, or the folder goes first.
    EXPECT_EQ(std::vector<std::string>(plain.begin() + done + 1, plain.end()),
              std::vector<std::string>{"DEL \"C:\\Temp\\_DEL_ME_.BAT\" >NUL 2>&1"});
    EXPECT_EQ(std::vector<std::string>(rd.begin() + done + 1, rd.end()),
              (std::vector<std::string>{"RD \"C:\\Temp\\My Setup\" >NUL 2>&1", "DEL \"C:\\Temp\\_DEL_ME_.BAT\" >NUL 2>&1"}));

    // Every command that can fail or print is silenced.
    for (const std::string& line : rd) {
        if (line.rfind("DEL ", 0) == 0 || line.rfind("RD ", 0) == 0 || line.rfind("PING ", 0) == 0) {
            EXPECT_NE(line.find(" >NUL 2>&1"), std::string::npos) << line;
        }
    }
}

TEST(SelfDeleteBatch, PercentInPathsIsDoubledAndAttemptsBounded)
{
    const std::string text = SelfDeleteBatchText("C:\\a%b\\x.exe", "C:\\t\\d.bat", false, 0);
    EXPECT_NE(text.find("DEL \"C:\\a%%b\\x.exe\""), std::string::npos);
    EXPECT_NE(text.find("==\"x\" GOTO DONE"), std::string::npos) << "at least one attempt";
    const std::string bounded = SelfDeleteBatchText("C:\\x.exe", "C:\\d.bat", false);
    EXPECT_NE(bounded.find("==\"" + std::string(kSelfDeleteAttempts, 'x') + "\" GOTO DONE"), std::string::npos);
}

TEST(FilesPaths, DriveRoot)
{
    struct Case {
        const char* path;
        bool force;
        const char* want;
    } cases[] = {
        {"", false, ""},
        {"", true, ""},
        {"c:\\Users\\x", false, "c:\\Users"},
        {"c:\\Users\\x", true, "C:\\"},
        {"C:/Users/x", false, "C:\\Users"},
        {"C:\\", false, "C:\\"},
        {"C:\\Users", false, "C:\\Users"},
        {"d:", false, "D:\\"},
        {"\\\\server\\share\\dir", false, "\\\\server"},
    };
    for (const Case& c : cases) EXPECT_EQ(DriveRoot(c.path, c.force), c.want) << c.path << " " << c.force;
}

TEST(FilesPaths, PartsAndJoin)
{
    EXPECT_EQ(FolderPart("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(FolderPart("b.txt"), "");
    EXPECT_EQ(NamePart("C:\\a/b.txt"), "b.txt");
    EXPECT_EQ(NamePart("C:tool.exe"), "tool.exe") << "a drive-relative path";
    EXPECT_EQ(NamePart("http://srv/new.exe"), "new.exe");
    EXPECT_EQ(JoinPath("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\", "b"), "C:\\b");
    EXPECT_EQ(DriveLetterOf("e:\\x"), 'E');
    EXPECT_EQ(DriveLetterOf("1:\\x"), 0);
    EXPECT_EQ(DriveLetterOf(""), 0);
}

TEST(FilesPaths, NamesDevice)
{
    // "\xB9", "\xB2", "\xB3": superscript 1, 2, 3 in the system code page.
    for (const char* name : {"CON", "con", "nul.txt", "sub\\COM1", "sub/lpt9.log", "AUX ", "CONOUT$", "prn.a.b",
                             "COM\xB9", "com\xB2.txt", "sub\\LPT\xB3", "lpt\xB9 "})
        EXPECT_TRUE(NamesDevice(name)) << name;
    for (const char* name : {"CONFIG.SYS", "COM0", "COM10", "LPT", "sub\\console.txt", "nulls", "x\\a.con", "",
                             "COM\xB4", "LPT\xB9\xB9"})
        EXPECT_FALSE(NamesDevice(name)) << name;
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

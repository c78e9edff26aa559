#include <gtest/gtest.h>

#include <map>
#include <set>

#include "text/Common.h"
#include "text/RunTimeDir.h"
#include "text/ShellDir.h"

namespace {

// A machine made up for the rules: fixed clock and folders.
class TFakePlaceholders : public TPlaceholderSource {
public:
    TDateTimeParts Now() override { return now; }
    std::string MonthName(int month) override { return month == 3 ? "March" : "Month" + std::to_string(month); }
    TLocaleSeparators Separators() override { return seps; }
    std::string Value(const std::string& p) override
    {
        asked.insert(p);
        return p == "<UserName>" ? "Owner" : p == "<ComputerName>" ? "PC1" : "user";
    }
    std::string Folder(TShellDir which) override
    {
        folderQueries++;
        switch (which) {
        case TShellDir::TempDir: return "C:\\Temp";
        case TShellDir::WinDir: return "C:\\WINDOWS";
        case TShellDir::WinSysDir: return "C:\\WINDOWS\\system32";
        case TShellDir::WinSys16Dir: return "C:\\WINDOWS\\system";
        case TShellDir::OriginDir: return "D:\\Downloads";
        case TShellDir::SrcDir: return "E:\\Stub";
        case TShellDir::MyDocumentsDir: return "C:\\Users\\me\\Documents";
        default: return "F:\\Other";
        }
    }
    std::string FullPath(const std::string& path) override { return "C:\\cur\\" + path + "[full]"; }

    TDateTimeParts now{2024, 3, 5, 9, 7, 2, 0};
    TLocaleSeparators seps{".", ":"};
    std::set<std::string> asked;
    int folderQueries = 0;
};

std::string Expand(TFakePlaceholders& src, const std::string& text)
{
    return ExpandPlaceholders(src, text, "\\", true, true);
}

}  // namespace

TEST(Placeholders, DatesWithAFixedClock)
{
    struct Case {
        TDateTimeParts now;
        const char* text;
        const char* want;
    } cases[] = {
        {{2024, 3, 5}, "<Date=6>", "2024-03-05"},
        {{2024, 3, 5}, "<Date=1>", "05-03-24"},
        {{2024, 3, 5}, "<Date=2>", "03-05-24"},
        {{2024, 3, 5}, "<Date=3>", "24-03-05"},
        {{2024, 3, 5}, "<Date=4>", "05-03-2024"},
        {{2024, 3, 5}, "<Date=5>", "03-05-2024"},
        {{2024, 3, 5, 9, 7, 2}, "<Date=7>", "2024-03-05 09:07:02"},
        {{2024, 3, 5}, "<Date=#>", "05.March.2024"},  // the locale's date separator
        {{2000, 1, 2, 23, 59}, "<Date=0>", "1"},
        {{2000, 1, 1}, "<Date=0>", "0"},
        {{2024, 3, 5}, "<Date=9>", "<Date=9>"},
        {{2024, 3, 5}, "a<date=6>b<Date=6>c", "a2024-03-05b<Date=6>c"},  // only the first
        {{2024, 3, 5}, "<Date=6", "<Date=6"},                            // no ">" after it
        {{2024, 3, 5}, "<Date=6)x>", "2024-03-05x>"},                    // the character after the code goes
        {{2024, 3, 5}, "<Date=>", "<Date=>"},
    };
    for (const Case& c : cases) {
        TFakePlaceholders src;
        src.now = c.now;
        EXPECT_EQ(Expand(src, c.text), c.want) << c.text;
    }
}

TEST(Placeholders, FolderSuffixQuotesAndCase)
{
    SetInstallFolders("C:\\App", "C:\\Common", "C:\\Aux");
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"<TempDir>Setup.exe", "C:\\Temp\\Setup.exe"},
        {"<TempDir>", "C:\\Temp"},
        {"<TempDir> /x", "C:\\Temp /x"},
        {"\"<InstallDir>\"", "\"C:\\App\""},
        {"<tempdir>a", "C:\\Temp\\a"},
        {"<TEMPDIR>a|<TempDir>", "C:\\Temp\\a|C:\\Temp\\"},  // one text for every occurrence
        {"x<TempDir>x", "xC:\\Temp\\x"},                      // a letter never encloses
        {"<InstallDir><", "C:\\App\\<"},
        {"<NoSuchDir>\\a", "<NoSuchDir>\\a"},
        {"<UserName> on <ComputerName>", "Owner on PC1"},
        {"<LastExecutableExitCode>/<ReqFreeDiskSpaceMB>/<ProjectName>/<UnInstallExePath>", "0/0//"},
        {"<WinDrive>x <WinDisk> <OriginDisk> <InstallDrive>", "C:\\x C: D: C:\\"},
        {"<WinSys32Dir>\\<WinSys16Dir>", "C:\\WINDOWS\\system32\\C:\\WINDOWS\\system"},
        {"<ServiceDir>\\", "E:\\Stub\\\\"},  // a pair at the very end stays
    };
    for (const Case& c : cases) {
        TFakePlaceholders src;
        EXPECT_EQ(Expand(src, c.text), c.want) << c.text;
    }
}

TEST(Placeholders, AbsoluteFolderDropsTheRelativeOnesAndCollapses)
{
    SetInstallFolders("C:\\App", "C:\\Common", "C:\\Aux");
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"<Application Folder>\\<InstallDir>x", "C:\\App\\x"},
        {"<Windows Directory>\\<InstallCommonDir>\\<AbsoluteDir>f", "C:\\WINDOWS\\f"},
        {"<InstallDir>\\<AbsoluteDir>f", "C:\\App\\f"},  // no absolute folder before: kept
        {"<RunTimeDir_2>x", "\\x"},
        {"<RunTimeDir_8>", ""},
        {"<TempDir>\\\\\\a", "C:\\Temp\\a"},  // every pair collapses, scanning from the end
        {"\\\\server\\share\\<TempDir>", "\\\\server\\share\\C:\\Temp"},
        {"a\\\\<TempDir>", "a\\C:\\Temp"},  // a pair at the very start of the rest loses one
        {"\"\\\\<TempDir>\"", "\"\\C:\\Temp\""},
        {"x\\\\b", "x\\\\b"},  // nothing replaced: nothing collapsed
    };
    for (const Case& c : cases) {
        TFakePlaceholders src;
        EXPECT_EQ(Expand(src, c.text), c.want) << c.text;
    }
}

TEST(Placeholders, RelativePathsAndFlags)
{
    TFakePlaceholders src;
    EXPECT_EQ(Expand(src, "..\\setup.exe"), "C:\\cur\\..\\setup.exe[full]");  // no placeholder at all
    EXPECT_EQ(Expand(src, "|a|b\\..\\c|d|"), "|a|C:\\cur\\b\\..\\c[full]|d|");
    EXPECT_EQ(Expand(src, ",..\\x,y"), ",C:\\cur\\..\\x[full],y");
    EXPECT_EQ(Expand(src, "a..b"), "a..b");
    EXPECT_EQ(ExpandPlaceholders(src, "..\\x", "\\", false, true), "..\\x");
    // Without the folder stage the folders stay, the values do not.
    EXPECT_EQ(ExpandPlaceholders(src, "<TempDir>\\<UserName>", "\\", false, false), "<TempDir>\\Owner");
}

TEST(Placeholders, OnlyWhatTheTextHoldsIsLookedUp)
{
    TFakePlaceholders src;
    EXPECT_EQ(Expand(src, "plain text"), "plain text");
    EXPECT_EQ(Expand(src, "<TempDir>"), "C:\\Temp");
    EXPECT_EQ(src.folderQueries, 1);
    EXPECT_TRUE(src.asked.empty());
}

TEST(Placeholders, UntrustedTextNeverBreaksTheExpansion)
{
    TFakePlaceholders src;
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919) % 256);
    for (const std::string& t : {noise, std::string(100000, '<'), std::string(100000, '\\'), std::string("<"),
                                 std::string("<Date="), std::string("\\\\"), std::string("<TempDir>\\\\"),
                                 std::string(1, '\0') + "<TempDir>"})
        EXPECT_NO_FATAL_FAILURE(Expand(src, t));
    EXPECT_EQ(Expand(src, std::string(1, '\0') + "<TempDir>"), std::string(1, '\0') + "C:\\Temp");
}

TEST(RunTimeDirs, EverySlotIsEmpty)
{
    for (int n = 0; n <= 9; ++n) {
        EXPECT_EQ(RunTimeDir(n, false), "");
        EXPECT_EQ(RunTimeDir(n, true), "");
    }
}

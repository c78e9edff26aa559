// Command-line arguments and switches.
#include <gtest/gtest.h>

#include "sys/CommandLine.h"

namespace {

TEST(CommandLine, ArgumentsFollowTheProgram)
{
    const struct {
        std::string raw, name, path, expected;
    } cases[] = {
        {"\"C:\\Program Files\\App\\setup.exe\" /a=1 /hide", "setup.exe", "C:\\Program Files\\App\\setup.exe",
         "/a=1 /hide"},
        {"C:\\App\\SETUP.EXE  /hide ", "setup.exe", "C:\\App\\setup.exe", "/hide"},
        {"setup.exe", "setup.exe", "C:\\App\\setup.exe", ""},
        {"\"C:\\App\\setup.exe\" x", "setup.exe", "C:\\App\\setup.exe", ""},  // one character is no argument
        {"\"C:\\App\\setup.exe\" xy", "setup.exe", "C:\\App\\setup.exe", "xy"},
        // The name inside a folder name is not the program.
        {"C:\\data.exe\\a.exe /x", "a.exe", "C:\\data.exe\\a.exe", "/x"},
        // Not found at all (a short path): the whole line.
        {"C:\\PROGRA~1\\SETUP~1.EXE /x", "setup.exe", "C:\\Program Files\\setup.exe", "C:\\PROGRA~1\\SETUP~1.EXE /x"},
        {"", "setup.exe", "C:\\setup.exe", ""},
        {"\"C:\\setup.exe\" /a", "", "", "\"C:\\setup.exe\" /a"},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandLineArgs(c.raw, c.name, c.path), c.expected) << c.raw;
}

TEST(CommandLine, GetSwitchReadsValues)
{
    const std::string span = "/SpanCdLvl=2 /SpanDiskFName1=\"C:\\My Files\\pkg.exe.001\" /OriginExe=\"C:\\My Files\\pkg.exe\"";
    const struct {
        std::string args, name, expected;
    } cases[] = {
        {span, "/SpanCdLvl=", "2"},
        {span, "/SpanCdLvl", "2"},
        {span, "SpanCdLvl", "2"},
        {span, " spancdlvl= ", "2"},
        {span, "/SpanDiskFName1=", "C:\\My Files\\pkg.exe.001"},  // quotes group, never reach the value
        {span, "/OriginExe=", "C:\\My Files\\pkg.exe"},
        {"-SpanCdLvl=2 -hide", "-SpanCdLvl", "2"},  // the "-" form reads "-" switches
        {"/SpanCdLvl=2", "-SpanCdLvl", "def"},
        {"/stop=5", "/STOP=", "5"},
        {"/STOP =5", "/STOP=", "5"},
        {"/STOP=", "/STOP=", ""},
        {"/STOPX=3", "/STOP=", "def"},
        {"/a=1 /a=2", "/a=", "1"},  // the first wins
        {"/p=x y  /q=1", "/p=", "x y"},
        {"/p=a/b /q=1", "/p=", "a/b"},
        {"/WM_MSG=123:456", "/WM_MSG=", "123:456"},
        {"", "/STOP=", "def"},
        {"/STOP=5", "", "def"},
        {"/STOP=5", "/", "def"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSwitchIn(c.args, c.name, "def"), c.expected) << c.args << " | " << c.name;
}

TEST(CommandLine, GetSwitchIntFallsBackToDefault)
{
    const struct {
        std::string args;
        int64_t expected;
    } cases[] = {
        {"/STOP=5", 5}, {"/STOP=-3", -3}, {"/STOP= 10 /x", 10}, {"/STOP=", -1},
        {"/STOP=x", -1}, {"/STOP=1.5", -1}, {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSwitchIntIn(c.args, "/STOP=", -1), c.expected) << c.args;
}

TEST(CommandLine, HasSwitchNeedsTheWholeSwitch)
{
    const struct {
        std::string args, name;
        bool expected;
    } cases[] = {
        {"/hide /x", "/hide", true},  {"/x /HIDE", "/hide", true},   {"/hidden", "/hide", false},
        {"/hide=1", "/hide", false},  {"/x", "  /x  ", true},        {"", "/hide", false},
        {"/x", "", false},            {"a/hide b", "/hide", true},  // no separator needed in front
    };
    for (const auto& c : cases) EXPECT_EQ(HasSwitchIn(c.args, c.name), c.expected) << c.args << " | " << c.name;
}

TEST(CommandLine, ProcessCommandLineFeedsTheReaders)
{
    const std::string raw = "\"C:\\App\\agent.exe\" /WAIT=3 /hide /TRANSIENT=|1|2|";
    SetProcessCommandLine(raw, "agent.exe", "C:\\App\\agent.exe");
    EXPECT_EQ(ProcessCommandLine(), raw);
    EXPECT_EQ(CommandLineArgs(), "/WAIT=3 /hide /TRANSIENT=|1|2|");
    EXPECT_EQ(GetSwitchInt("/WAIT=", 0), 3);
    EXPECT_EQ(GetSwitch("/TRANSIENT=", ""), "|1|2|");
    EXPECT_TRUE(HasSwitch("/hide"));
    EXPECT_FALSE(HasSwitch("/hid"));
    SetProcessCommandLine("", "", "");
    EXPECT_EQ(CommandLineArgs(), "");
    EXPECT_EQ(GetSwitchInt("/WAIT=", 0), 0);
}

TEST(CommandLine, RemoveSwitchTakesTheWholeValue)
{
    const struct {
        std::string line, sw, expected;
    } cases[] = {
        {"E.exe /SpanCdLvl=2 /x", "/SpanCdLvl=", "E.exe /x"},
        {"E.exe /x /SpanCdLvl=2", "/SpanCdLvl=", "E.exe /x "},
        {"E.exe /SpanDiskFName1=\"C:\\a b\\p.001\" /x", "/SpanDiskFName1=", "E.exe /x"},
        // A "/" inside the value does not end it.
        {"E.exe /SpanDiskFName1=\"D:/disk one/p.001\" /x", "/SpanDiskFName1=", "E.exe /x"},
        {"E.exe /SpanDiskFName1=D:/disk/p.001 /x", "/SpanDiskFName1=", "E.exe /x"},
        {"E.exe /SpanDiskFName1=\"D:/a /b/p.001\" /x", "/SpanDiskFName1=", "E.exe /x"},
        {"E.exe /spancdlvl=2 /x", "/SpanCdLvl=", "E.exe /spancdlvl=2 /x"},  // case-sensitive
        {"E.exe /x", "/SpanCdLvl=", "E.exe /x"},
        {"E.exe /x", "", "E.exe /x"},
    };
    for (const auto& c : cases) EXPECT_EQ(RemoveSwitch(c.line, c.sw), c.expected) << c.line;

    // The arguments of a spanned stub's copy leave only the origin switch.
    std::string line =
        "C:\\T\\Engine.exe /SpanCdLvl=2 /SpanDiskFName1=\"C:\\a b\\s.exe.001\" /OriginExe=\"C:\\a b\\s.exe\" /TH_ID=77";
    line = RemoveSwitch(RemoveSwitch(line, "/SpanCdLvl="), "/SpanDiskFName1=");
    EXPECT_EQ(line, "C:\\T\\Engine.exe /OriginExe=\"C:\\a b\\s.exe\" /TH_ID=77");
}

}  // namespace

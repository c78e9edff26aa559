// Process inspection rules: tasklist output, name matching, the list search,
// the road choice and the main-window scoring.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "sys/ExecPipe.h"
#include "sys/ProcessRules.h"

namespace {

// Output of "tasklist /FO csv" as Windows prints it (memory with grouping
// commas, CR LF line ends).
const std::string kTasklist =
    "\"Image Name\",\"PID\",\"Session Name\",\"Session#\",\"Mem Usage\"\r\n"
    "\"System Idle Process\",\"0\",\"Services\",\"0\",\"8 K\"\r\n"
    "\"System\",\"4\",\"Services\",\"0\",\"1,148 K\"\r\n"
    "\"svchost.exe\",\"812\",\"Services\",\"0\",\"12,004 K\"\r\n"
    "\"Console\",\"1500\",\"Console\",\"1\",\"3,100 K\"\r\n"
    "\"MyApp.exe\",\"2044\",\"Console\",\"1\",\"40,312 K\"\r\n"
    "\"myapp.exe\",\"3000\",\"Console\",\"1\",\"1,200 K\"\r\n"
    "\"Tool.exe\",\"3100\",\"Console\",\"1\",\"MyApp.exe\"\r\n";

}  // namespace

TEST(Tasklist, FindsTheFirstListedProcessByImageName)
{
    struct Case {
        std::string wanted;
        uint32_t pid;
    } cases[] = {
        {"MyApp.exe", 2044},                       // the first of two wins
        {"MYAPP.EXE", 2044},                       // letter case does not count
        {"  myapp.exe ", 2044},                    // nor blanks around it
        {"C:\\Program Files\\X\\MyApp.exe", 2044}, // the folder does not count
        {"svchost.exe", 812},
        {"Tool.exe", 3100},
        {"Console", 1500},                         // first column only, not the session name
        {"Services", 0},                           // a session name is no image name
        {"Image Name", 0},                         // the header line names no pid
        {"PID", 0},
        {"System Idle Process", 0},                // pid 0 is no process to act on
        {"8 K", 0},
        {"Other.exe", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(FindPidInTasklist(kTasklist, c.wanted), c.pid) << c.wanted;
}

TEST(Tasklist, EmptyOrOddOutputFindsNothing)
{
    EXPECT_EQ(FindPidInTasklist("", "MyApp.exe"), 0u);
    EXPECT_EQ(FindPidInTasklist("\r\n\r\n", "MyApp.exe"), 0u);
    EXPECT_EQ(FindPidInTasklist("INFO: No tasks are running which match the specified criteria.\r\n", "INFO:"), 0u);
    // A pid column that is no number.
    EXPECT_EQ(FindPidInTasklist("\"MyApp.exe\",\"abc\",\"Console\"\r\n", "MyApp.exe"), 0u);
    // Leading blank lines and no header still work.
    EXPECT_EQ(FindPidInTasklist("\r\n\"MyApp.exe\",\"77\",\"Console\",\"1\",\"1 K\"", "MyApp.exe"), 77u);
}

TEST(Tasklist, LinesAreFramedWithoutQuotes)
{
    EXPECT_EQ(TasklistLines("  \"a\",\"1\"\r\n\"b\",\"2\"\r\n "), "|a,1|b,2|");
    EXPECT_EQ(TasklistLines(""), "||");
}

// Short paths of a pretend file system: known paths only.
std::string FakeShort(const std::string& path)
{
    static const std::map<std::string, std::string> known = {
        {"C:\\Program Files\\Acme\\App.exe", "C:\\PROGRA~1\\Acme\\App.exe"},
        {"C:\\PROGRA~1\\Acme\\App.exe", "C:\\PROGRA~1\\Acme\\App.exe"},
        {"C:\\Other\\App.exe", "C:\\Other\\App.exe"},
    };
    auto it = known.find(path);
    return it == known.end() ? "" : it->second;
}

TEST(ProcessNames, SameNameIgnoresCaseAndBlanks)
{
    EXPECT_TRUE(SameProcessName(" App.EXE ", "app.exe"));
    EXPECT_FALSE(SameProcessName("app.exe", "app.ex"));
    EXPECT_FALSE(SameProcessName("app.exe", "App .exe"));
}

TEST(ProcessNames, WalkMatchesByPathBaseNameOrShortPath)
{
    const std::string full = "C:\\Program Files\\Acme\\App.exe";
    struct Case {
        std::string wanted;
        std::string path;
        std::string base;
        bool fullMode;
        bool match;
    } cases[] = {
        {full, full, "App.exe", true, true},
        {"app.exe", full, "App.exe", false, true},
        {"app.exe", full, "App.exe", true, false},  // full-path mode ignores the base name
        // the same file name in another folder is another program in full-path mode
        {"C:\\Other\\App.exe", full, "App.exe", true, false},
        {"C:\\PROGRA~1\\Acme\\App.exe", full, "App.exe", true, true},  // short form of the same path
        {"C:\\Unknown\\App.exe", "C:\\Unknown\\App2.exe", "App2.exe", true, false},
        {"", full, "App.exe", false, false},
        {"   ", "", "", false, false},
    };
    for (const auto& c : cases) {
        const std::string wantedShort = FakeShort(c.wanted);
        EXPECT_EQ(ProcessNameMatches(c.wanted, wantedShort, c.path, c.base, c.fullMode, FakeShort), c.match)
            << c.wanted << " vs " << c.path << " full=" << c.fullMode;
    }
}

TEST(ProcessNames, UnobtainableShortPathsNeverMatchEachOther)
{
    // Neither side has a short form: "" must not equal "".
    EXPECT_FALSE(ProcessNameMatches("C:\\Gone\\A.exe", "", "C:\\Gone\\B.exe", "B.exe", true, FakeShort));
    // Nor does a wanted name that looks like a stand-in for "no name".
    EXPECT_FALSE(ProcessNameMatches("*X*", "", "C:\\x\\y.exe", "y.exe", true, FakeShort));
    EXPECT_FALSE(ProcessNameMatches("*XX*", "", "C:\\x\\y.exe", "y.exe", false, FakeShort));
}

TEST(ProcessList, LastListedMatchWins)
{
    const std::string list = "|explorer.exe=100|App.exe=200|tool.exe=300|app.exe=400|";
    EXPECT_EQ(FindPidInProcessList(list, "App.exe", FakeShort), 400u);
    EXPECT_EQ(FindPidInProcessList(list, "\"C:\\Program Files\\Acme\\App.exe\"", FakeShort), 0u)
        << "quotes are the caller's to remove";
    EXPECT_EQ(FindPidInProcessList(list, "C:\\Program Files\\Acme\\App.exe", FakeShort), 400u)
        << "a list of file names matches the wanted path's file name";
    EXPECT_EQ(FindPidInProcessList(list, "EXPLORER.EXE", FakeShort), 100u);
    EXPECT_EQ(FindPidInProcessList(list, "none.exe", FakeShort), 0u);
    EXPECT_EQ(FindPidInProcessList(list, "", FakeShort), 0u);
    EXPECT_EQ(FindPidInProcessList("", "App.exe", FakeShort), 0u);
    EXPECT_EQ(FindPidInProcessList("|App.exe=|App.exe=x|", "App.exe", FakeShort), 0u) << "no pid, no process";
}

TEST(ProcessList, FullPathListsFindTheProgramTheyName)
{
    // The PSAPI list in full-path mode names whole paths: the program is found
    // by its path (or its short form), and a namesake elsewhere is not it.
    const std::string list = "|C:\\Other\\App.exe=10|C:\\Program Files\\Acme\\App.exe=20|";
    EXPECT_EQ(FindPidInProcessList(list, "C:\\Program Files\\Acme\\App.exe", FakeShort), 20u);
    EXPECT_EQ(FindPidInProcessList(list, "C:\\PROGRA~1\\Acme\\App.exe", FakeShort), 20u);
    EXPECT_EQ(FindPidInProcessList(list, "C:\\Other\\App.exe", FakeShort), 10u);
    EXPECT_EQ(FindPidInProcessList(list, "D:\\Elsewhere\\App.exe", FakeShort), 0u);
}

TEST(ProcessRoads, ChosenByWindowsGeneration)
{
    EXPECT_EQ(ChooseFindRoad(true, true), TFindRoad::Tasklist);
    EXPECT_EQ(ChooseFindRoad(true, false), TFindRoad::Psapi);
    EXPECT_EQ(ChooseFindRoad(false, false), TFindRoad::ToolHelp);
}

TEST(ExecPipeLine, QuotesAProgramPathWithBlanks)
{
    EXPECT_EQ(CapturedCommandLine("C:\\Program Files\\x.exe", "/a b"), "\"C:\\Program Files\\x.exe\" /a b");
    EXPECT_EQ(CapturedCommandLine(" C:\\Program Files\\x.exe ", ""), "\"C:\\Program Files\\x.exe\"");
    EXPECT_EQ(CapturedCommandLine("\"C:\\Program Files\\x.exe\"", "/a"), "\"C:\\Program Files\\x.exe\" /a");
    EXPECT_EQ(CapturedCommandLine("C:\\Windows\\system32\\tasklist.exe", "/FO csv"),
              "C:\\Windows\\system32\\tasklist.exe /FO csv");
}

// ---- TAnalizer ------------------------------------------------------------

namespace {

struct Win {
    uint64_t id;
    uint64_t owner;
    bool titled;
    bool visible;
};

uint64_t Choose(const std::vector<Win>& wins, const std::map<uint64_t, uint64_t>& extraOwners = {})
{
    std::map<uint64_t, uint64_t> owners = extraOwners;
    auto analizer = std::make_unique<TAnalizer>();
    analizer->Clear();
    for (const auto& w : wins) {
        owners[w.id] = w.owner;
        analizer->Add(w.id, w.titled, w.visible);
    }
    analizer->Score([&](uint64_t id) {
        auto it = owners.find(id);
        return it == owners.end() ? uint64_t{0} : it->second;
    });
    return analizer->Best();
}

}  // namespace

TEST(MainWindow, TitledVisibleOwnerOfADialogBeatsAHiddenAuxWindow)
{
    // In the system's order: the dialog on top, the main window, the aux one.
    const std::vector<Win> wins = {
        {30, 20, true, true},    // dialog owned by the main window
        {20, 0, true, true},     // main window
        {10, 0, false, false},   // hidden auxiliary window without title
    };
    EXPECT_EQ(Choose(wins), 20u);

    auto analizer = std::make_unique<TAnalizer>();
    analizer->Clear();
    for (const auto& w : wins) analizer->Add(w.id, w.titled, w.visible);
    analizer->Score([&](uint64_t id) { return id == 30 ? uint64_t{20} : uint64_t{0}; });
    EXPECT_EQ(analizer->scores[0], 3);   // 0 x 4 + 2 + 1
    EXPECT_EQ(analizer->scores[1], 11);  // (itself + dialog) x 4 + 2 + 1
    EXPECT_EQ(analizer->scores[2], 4);   // itself x 4
}

TEST(MainWindow, OwnerChainsCountForTheirRoot)
{
    // A dialog owned by a tool window owned by the main window counts for the
    // main window; so does a window whose chain passes through a window of
    // another process (50, not collected).
    EXPECT_EQ(Choose({{1, 0, true, true}, {2, 0, false, true}, {3, 2, false, false}, {4, 3, false, false}}), 2u);
    EXPECT_EQ(Choose({{1, 0, true, true}, {2, 0, true, true}, {3, 50, false, false}}, {{50, 2}}), 2u);
    // A root outside the process counts for nobody.
    EXPECT_EQ(Choose({{1, 0, false, true}, {2, 70, true, true}}, {{70, 0}}), 1u);
}

TEST(MainWindow, TiesGoToTheFirstAndNothingScoresNothing)
{
    EXPECT_EQ(Choose({{5, 0, true, true}, {6, 0, true, true}}), 5u);
    EXPECT_EQ(Choose({}), 0u);
    // Windows owned from outside, without title, hidden: best score 0.
    EXPECT_EQ(Choose({{5, 99, false, false}, {6, 99, false, false}}), 0u);
}

TEST(MainWindow, OwnerLoopsEnd)
{
    EXPECT_NE(Choose({{1, 2, true, true}, {2, 1, false, false}}), 0u);
}

TEST(MainWindow, StoresAtMostItsCapacity)
{
    auto analizer = std::make_unique<TAnalizer>();
    analizer->Clear();
    for (int i = 1; i <= TAnalizer::kCapacity; ++i) EXPECT_TRUE(analizer->Add(static_cast<uint64_t>(i), false, false));
    EXPECT_FALSE(analizer->Add(99999, true, true));
    EXPECT_EQ(analizer->count, TAnalizer::kCapacity);
    analizer->Score([](uint64_t) { return uint64_t{0}; });
    EXPECT_EQ(analizer->Best(), 1u);
}

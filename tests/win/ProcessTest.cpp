// Process services under Wine: RunCaptured against the probe's console
// output, the window enumeration, the PSAPI and ToolHelp roads, the main
// window, and the list-based checks (running, waiting, terminating) against
// the kit's target program. The tasklist road and the services that go
// through FindProcess are run per Windows version by the e2e tests.
#include <gtest/gtest.h>

#include <string>

#include "WinTestKit.h"
#include "sys/ExecPipe.h"
#include "sys/LSUB.h"
#include "sys/Process.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"

using namespace wintest;

namespace {

std::string Probe() { return BuildFile("procprobe.exe"); }

struct TCaptured {
    bool ok = false;
    uint32_t code = 0;
    std::string output;
    std::string errors;
};

TCaptured Capture(const std::string& program, const std::string& params, const TCaptureCallback& cb = nullptr)
{
    TCaptured r;
    r.ok = RunCaptured(program, params, SW_HIDE, r.code, r.output, r.errors, 1, cb);
    return r;
}

// The kit's target program, started in a process of its own and ended (if
// still running) when the object goes.
class Target {
public:
    Target(const ScratchDir& dir, const std::string& exe, const std::string& args = "")
        : pidFile_(dir.File("target.pid")), log_(dir.File("target.log"))
    {
        DeleteFileA(pidFile_.c_str());
        std::string cmd = "\"" + exe + "\" --pidfile=\"" + pidFile_ + "\" --log=\"" + log_ + "\" " + args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        process_.Reset(pi.hProcess);
        CloseHandle(pi.hThread);
        pid_ = pi.dwProcessId;
        // The pid file appears once its windows exist.
        for (int i = 0; i < 200 && !FileExists(pidFile_); ++i) Sleep(50);
        if (!FileExists(pidFile_)) pid_ = 0;
        Sleep(100);
    }
    ~Target()
    {
        if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.Get(), 9);
        if (process_) WaitForSingleObject(process_.Get(), 10000);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    uint32_t Pid() const { return pid_; }
    HANDLE Process() const { return process_.Get(); }
    bool Ended(DWORD waitMs) const { return WaitForSingleObject(process_.Get(), waitMs) == WAIT_OBJECT_0; }
    std::string Log() const { return ReadWholeFile(log_); }

private:
    std::string pidFile_;
    std::string log_;
    KernelHandle process_;
    uint32_t pid_ = 0;
};

}  // namespace

// ---- RunCaptured ------------------------------------------------------------

TEST(RunCaptured, ReturnsOutputErrorsAndExitCode)
{
    // "hello\r\n" on stdout, "oops" on stderr.
    TCaptured r = Capture(Probe(), "emit 68656C6C6F0D0A 6F6F7073 3");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 3u);
    EXPECT_EQ(r.output, "hello\r\n");
    EXPECT_EQ(r.errors, "oops");

    r = Capture(Probe(), "emit 6F6B 00 0");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.code, 0u);
    EXPECT_EQ(r.output, "ok");

    // A console command of the system.
    r = Capture("cmd.exe", "/c echo captured& exit 4");
    EXPECT_EQ(r.code, 4u);
    EXPECT_EQ(Trim(r.output), "captured");
}

TEST(RunCaptured, ConvertsFromTheOemCodePage)
{
    std::string bytes;
    for (int c = 0x80; c <= 0xFF; ++c) bytes += static_cast<char>(c);
    std::string expected = bytes;
    OemToCharBuffA(expected.data(), expected.data(), static_cast<DWORD>(expected.size()));
    TCaptured r = Capture(Probe(), "emit " + HexEncode(bytes) + " 00 0");
    EXPECT_EQ(r.output, expected);
    if (GetOEMCP() != GetACP()) {
        EXPECT_NE(r.output, bytes) << "the code pages differ, so must the texts";
    }
}

TEST(RunCaptured, ReadsLongOutputWhole)
{
    TCaptured r = Capture(Probe(), "emit-count 250000");
    ASSERT_EQ(r.output.size(), 250000u);
    EXPECT_EQ(r.output.substr(0, 12), "012345678901");
    EXPECT_EQ(r.output.substr(249990), "0123456789");
}

TEST(RunCaptured, QuotesAProgramPathWithBlanks)
{
    ScratchDir dir("run blank");
    const std::string copy = dir.File("probe copy.exe");
    ASSERT_TRUE(CopyFileA(Probe().c_str(), copy.c_str(), FALSE));
    TCaptured r = Capture(copy, "emit 6F6B 00 0");
    EXPECT_TRUE(r.ok) << r.errors;
    EXPECT_EQ(r.output, "ok");
}

TEST(RunCaptured, AChildEndingWithCode259DoesNotKeepItWaiting)
{
    // 259 is the system's "still active": the end is seen on the process.
    const int64_t start = MillisecondCounter();
    TCaptured r = Capture(Probe(), "emit 6F6B 00 259");
    EXPECT_EQ(r.code, 259u);
    EXPECT_EQ(r.output, "ok");
    EXPECT_LT(MillisecondCounter() - start, 10000);
}

TEST(RunCaptured, CallbackSeesEachPieceAndCanAbort)
{
    std::string seen;
    TCaptured r = Capture(Probe(), "emit 6F6E65 74776F 0", [&](const std::string& text, bool&) { seen += text; });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, "one");
    EXPECT_EQ(r.errors, "two");
    EXPECT_NE(seen.find("one"), std::string::npos);
    EXPECT_NE(seen.find("two"), std::string::npos);
    EXPECT_EQ(seen.size(), 6u);

    // The child would sleep for a minute after its output; the callback aborts.
    const int64_t start = MillisecondCounter();
    r = Capture(Probe(), "emit 6162 00 0 60000", [](const std::string&, bool& abort) { abort = true; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 255u);
    EXPECT_EQ(r.output, "ab");
    EXPECT_LT(MillisecondCounter() - start, 20000);
}

TEST(RunCaptured, StartFailuresGiveExitCode21AndATellingText)
{
    const std::string missing = "C:\\no\\such\\folder\\missing.exe";
    std::string seen;
    TCaptured r = Capture(missing, "/x", [&](const std::string& text, bool&) { seen += text; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 21u);
    EXPECT_TRUE(EndsWith(r.errors, " --- " + missing + " /x")) << r.errors;
    EXPECT_GT(r.errors.size(), (" --- " + missing + " /x").size()) << "the system's message comes first";
    EXPECT_EQ(seen, r.errors + "\r\n");

    // The command line is cut to its first 256 characters.
    const std::string longParams(400, 'p');
    r = Capture(missing, longParams);
    EXPECT_TRUE(EndsWith(r.errors, " --- " + (missing + " " + longParams).substr(0, 256))) << r.errors;

    // Above 32766 characters.
    seen.clear();
    r = Capture(Probe(), "emit " + std::string(kMaxCommandLine, '0') + " 00 0",
                [&](const std::string& text, bool&) { seen += text; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 21u);
    EXPECT_EQ(r.errors, "Command line is too long");
    EXPECT_EQ(seen, "Command line is too long\r\n");
    EXPECT_EQ(r.output, "");
}

// ---- Windows and processes ------------------------------------------------

class ProcessFixture : public ::testing::Test {
protected:
    ProcessFixture() : dir_("proc") {}
    void SetUp() override
    {
        exe_ = dir_.File("targetapp.exe");
        ASSERT_TRUE(CopyFileA(BuildFile("targetapp.exe").c_str(), exe_.c_str(), FALSE));
    }
    ScratchDir dir_;
    std::string exe_;
};

TEST_F(ProcessFixture, WindowEnumerationListsEveryWindowOfTheTarget)
{
    Target target(dir_, exe_, "\"--title=Enum Main\"");
    ASSERT_NE(target.Pid(), 0u);
    const std::string pid = std::to_string(target.Pid());

    TProcessData all;
    all.allWindows = true;
    ASSERT_TRUE(EnumTopWindows(all));
    const int n = SUB::Count(all.pids);
    for (const std::string* list : {&all.names, &all.classes, &all.handles, &all.threads, &all.titles, &all.visible})
        EXPECT_EQ(SUB::Count(*list), n) << "the lists run in parallel";
    std::string seen;
    for (int i = 0; i < n; ++i) {
        if (SUB::Get(all.pids, i) != pid) continue;
        EXPECT_EQ(SUB::Get(all.names, i), "targetapp.exe");
        HWND wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(SUB::GetInt64(all.handles, i)));
        EXPECT_EQ(WindowClassName(wnd), SUB::Get(all.classes, i));
        EXPECT_EQ(std::to_string(GetWindowThreadProcessId(wnd, nullptr)), SUB::Get(all.threads, i));
        seen += SUB::Get(all.classes, i) + "=" + SUB::Get(all.titles, i) + "/" + SUB::Get(all.visible, i) + ";";
    }
    for (const char* expected : {"TargetAppAux=/0;", "TargetAppMain=Enum Main/1;", "TargetAppDialog=Options/1;"})
        EXPECT_NE(seen.find(expected), std::string::npos) << expected << " in " << seen;

    // One window per name, and a stop at the wanted process.
    TProcessData first;
    first.wantedPid = static_cast<int32_t>(target.Pid());
    EnumTopWindows(first);
    EXPECT_EQ(SUB::Get(first.pids, -1), pid);
    EXPECT_EQ(SUB::Count(first.names), SUB::Count(SUB::Unique(first.names, "")));
    EXPECT_LE(SUB::Count(first.pids), n);

    TProcessData byName;
    byName.wantedName = "targetapp.exe";
    EnumTopWindows(byName);
    EXPECT_EQ(SUB::Get(byName.names, -1), "targetapp.exe");

    const std::string listed = ListWindowProcesses();
    EXPECT_TRUE(SUB::Contains(listed, "targetapp.exe=" + pid)) << listed;
}

TEST_F(ProcessFixture, PsapiAndToolHelpRoadsFindTheTarget)
{
    // A namesake in another folder, never started.
    ScratchDir other("proc-other");
    const std::string namesake = other.File("targetapp.exe");
    ASSERT_TRUE(CopyFileA(exe_.c_str(), namesake.c_str(), FALSE));

    Target target(dir_, exe_);
    ASSERT_NE(target.Pid(), 0u);
    EXPECT_EQ(FindProcessByPsapi(exe_, true), target.Pid());
    EXPECT_EQ(FindProcessByPsapi("  \"" + exe_ + "\" ", true), target.Pid());
    EXPECT_EQ(FindProcessByPsapi("TARGETAPP.EXE", false), target.Pid());
    EXPECT_EQ(FindProcessByPsapi(namesake, true), 0u) << "full-path mode: a namesake is another program";
    EXPECT_EQ(FindProcessByPsapi("targetapp.exe", true), 0u);
    EXPECT_EQ(FindProcessByPsapi("", false), 0u);
    const std::string shortPath = ShortPathOf(exe_);
    ASSERT_FALSE(shortPath.empty());
    EXPECT_EQ(FindProcessByPsapi(shortPath, true), target.Pid());

    EXPECT_EQ(FindProcessByToolHelp("targetapp.exe", false), target.Pid());
    // (By full path only on Windows 9x, whose snapshot names whole paths.)
    EXPECT_EQ(FindProcessByToolHelp("", false), 0u);
    EXPECT_EQ(FindProcessByToolHelp("nothing-like-it.exe", false), 0u);

    const std::string pid = std::to_string(target.Pid());
    const std::string names = ListProcessesPsapi(false);
    EXPECT_TRUE(SUB::Contains(names, "targetapp.exe=" + pid)) << names;
    const std::string paths = ListProcessesPsapi(true);
    EXPECT_EQ(FindPidInProcessList(paths, exe_, ShortPathOf), target.Pid()) << paths;
    EXPECT_EQ(FindPidInProcessList(paths, namesake, ShortPathOf), 0u);
}

TEST_F(ProcessFixture, MainWindowIsTheTitledOwnerNotTheAuxOrTheDialog)
{
    Target target(dir_, exe_, "\"--title=The Main One\"");
    ASSERT_NE(target.Pid(), 0u);
    HWND wnd = FindMainWindowOfProcess(target.Pid());
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(WindowClassName(wnd), "TargetAppMain");
    EXPECT_EQ(WindowText(wnd), "The Main One");
    EXPECT_EQ(FindMainWindowOfProcess(0), nullptr);
}

TEST_F(ProcessFixture, RunningWaitingAndTerminating)
{
    Target target(dir_, exe_, "--ignore-close");
    ASSERT_NE(target.Pid(), 0u);
    EXPECT_TRUE(IsProgramRunning("targetapp.exe"));
    EXPECT_TRUE(IsProgramRunning(" \"" + exe_ + "\" "));
    EXPECT_FALSE(IsProgramRunning("nothing-like-it.exe"));
    EXPECT_FALSE(IsProgramRunning(""));

    // Time 0 waits about a second while it runs.
    int64_t start = MillisecondCounter();
    EXPECT_FALSE(WaitWhileRunning(exe_, 0));
    int64_t took = MillisecondCounter() - start;
    EXPECT_GE(took, 950);
    EXPECT_LT(took, 3000);

    EXPECT_TRUE(TerminateProgram(exe_, false));
    ASSERT_TRUE(target.Ended(5000));
    DWORD code = 99;
    GetExitCodeProcess(target.Process(), &code);
    EXPECT_EQ(code, 0u) << "terminated with exit code 0";

    start = MillisecondCounter();
    EXPECT_TRUE(WaitWhileRunning(exe_, 5000));
    EXPECT_LT(MillisecondCounter() - start, 1000) << "returns at once when it is gone";
    EXPECT_FALSE(TerminateProgram(exe_, false)) << "nothing left to terminate";
}

TEST_F(ProcessFixture, WaitWhileWindowLastsAsLongAsTheWindow)
{
    Target target(dir_, exe_, "--life=1500");
    ASSERT_NE(target.Pid(), 0u);
    ASSERT_NE(FindWindowA("TargetAppDialog", nullptr), nullptr);
    const int64_t start = MillisecondCounter();
    WaitWhileWindow("TargetAppDialog", "");
    EXPECT_GE(MillisecondCounter() - start, 500);
    EXPECT_EQ(FindWindowA("TargetAppDialog", nullptr), nullptr);
    EXPECT_TRUE(target.Ended(10000));

    // Nothing of that class and title: at once; nothing named: at once.
    const int64_t again = MillisecondCounter();
    WaitWhileWindow("TargetAppDialog", "Options");
    WaitWhileWindow("", "");
    EXPECT_LT(MillisecondCounter() - again, 1000);
}

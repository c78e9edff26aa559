// The sample engine against the launch contract, driven the way the launcher
// drives it: a launch atom, the engine started from a folder of extracted
// files, a watch for its dialog class, and its exit code.
#include <gtest/gtest.h>

#include <string>

#include "WinTestKit.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/UtilsWin.h"

using namespace wintest;

namespace {

const std::string kAtomPrefix = "AutoUpdateAtomTokenByLumidor";
const std::string kClassPrefix = ".SDialog_Class_Name.";

std::string ProgramFiles()
{
    char buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("ProgramFiles", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : "";
}

struct TEngineRun {
    DWORD exitCode = 0xFFFFFFFF;
    bool dialogSeen = false;      // a window of the launch's class while it ran
    bool dialogAfterEnd = false;  // one still there when it had ended
    std::string commandLine;
};

class SampleEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = TempFolder(true) + "lum-engine-" + std::to_string(GetCurrentProcessId());
        DeleteTree(root_, true);
        src_ = root_ + "\\SETUP_1";
        target_ = root_ + "\\installed here";
        ASSERT_TRUE(ForceFolders(src_ + "\\data\\deep"));
        ASSERT_TRUE(CopyFileA(BuildFile("sample-engine.exe").c_str(), (src_ + "\\Engine.exe").c_str(), FALSE));
        Put("readme.txt", "read me\r\n");
        Put("data\\a.bin", std::string("\0\1\2\3binary", 10));
        Put("data\\deep\\b.txt", "deep");
        // A launch id of our own, as the launcher makes one from its thread.
        launchId_ = "_t" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount());
    }
    void TearDown() override
    {
        if (ATOM a = GlobalFindAtomA((kAtomPrefix + launchId_).c_str())) GlobalDeleteAtom(a);
        DeleteTree(root_, true);
    }

    void Put(const std::string& rel, const std::string& data)
    {
        ASSERT_TRUE(WriteDataFile(src_ + "\\" + rel, data, 0, false)) << rel;
    }

    // Adds the launch atom, starts Engine.exe with `args` and the launch id,
    // watches for the dialog class while it runs, and collects the result.
    TEngineRun Run(const std::string& args, WORD show = SW_HIDE)
    {
        TEngineRun r;
        GlobalAddAtomA((kAtomPrefix + launchId_).c_str());
        const std::string record = root_ + "\\cmdline.txt";
        std::string cmd = src_ + "\\Engine.exe " + args + " /RecordCmd=\"" + record + "\" /TH_ID=" + launchId_;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = show;
        PROCESS_INFORMATION pi{};
        const std::string line = cmd;
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return r;
        KernelHandle process(pi.hProcess);
        KernelHandle thread(pi.hThread);
        const std::string cls = kClassPrefix + launchId_;
        while (WaitForSingleObject(process.Get(), 20) == WAIT_TIMEOUT) {
            if (FindWindowA(cls.c_str(), nullptr)) r.dialogSeen = true;
        }
        r.dialogAfterEnd = FindWindowA(cls.c_str(), nullptr) != nullptr;
        GetExitCodeProcess(process.Get(), &r.exitCode);
        r.commandLine = ReadWholeFile(record);
        EXPECT_EQ(r.commandLine, line) << "recorded exactly as received";
        return r;
    }

    bool AtomLeft() const { return GlobalFindAtomA((kAtomPrefix + launchId_).c_str()) != 0; }
    std::string Installed(const std::string& rel) const { return ReadWholeFile(target_ + "\\" + rel); }

    std::string root_, src_, target_, launchId_;
};

}  // namespace

TEST_F(SampleEngine, InstallsItsFilesDeletesTheAtomAndExitsZero)
{
    const TEngineRun r =
        Run("/x /silent /OriginExe=\"C:\\My Downloads\\setup.exe\" /Target=\"" + target_ + "\" /HoldDialog=1500",
            SW_SHOWNORMAL);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.dialogSeen) << "a window of class " << kClassPrefix + launchId_ << " while it works";
    EXPECT_FALSE(r.dialogAfterEnd);
    EXPECT_FALSE(AtomLeft()) << "success is told through the atom";

    EXPECT_EQ(Installed("readme.txt"), "read me\r\n");
    EXPECT_EQ(Installed("data\\a.bin"), std::string("\0\1\2\3binary", 10));
    EXPECT_EQ(Installed("data\\deep\\b.txt"), "deep");
    EXPECT_FALSE(FileExists(target_ + "\\Engine.exe")) << "the engine does not install itself";
    const std::string log = Installed("install.log");
    for (const char* expected : {"Copied readme.txt", "Copied data\\deep\\b.txt", "Origin: C:\\My Downloads\\setup.exe",
                                 "Started by the update agent: no", "Result: installed"})
        EXPECT_NE(log.find(expected), std::string::npos) << expected << " in\n" << log;
}

TEST_F(SampleEngine, FailingLeavesTheAtomAndGivesTheChosenCode)
{
    TEngineRun r = Run("/Target=\"" + target_ + "\" /Fail");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(AtomLeft());
    EXPECT_FALSE(FileExists(target_ + "\\readme.txt"));

    r = Run("/Target=\"" + target_ + "\" /Fail /ExitCode=70000");
    EXPECT_EQ(r.exitCode, 70000u) << "the whole 32-bit code";
    EXPECT_TRUE(AtomLeft());
}

TEST_F(SampleEngine, SucceedsWithAChosenExitCode)
{
    const TEngineRun r = Run("/AutoUpdateProg /Target=\"" + target_ + "\" /ExitCode=3");
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_FALSE(AtomLeft());
    EXPECT_NE(Installed("install.log").find("Started by the update agent: yes"), std::string::npos);
}

TEST_F(SampleEngine, CanLeaveItsDialogClassBehind)
{
    const TEngineRun r = Run("/Target=\"" + target_ + "\" /LeaveDialog=1500");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_FALSE(AtomLeft());
    EXPECT_TRUE(r.dialogAfterEnd) << "a window of the class outlives the engine";
    const std::string cls = kClassPrefix + launchId_;
    for (int i = 0; i < 300 && FindWindowA(cls.c_str(), nullptr); ++i) Sleep(50);
    EXPECT_EQ(FindWindowA(cls.c_str(), nullptr), nullptr) << "and goes after its time";
}

TEST_F(SampleEngine, InstallsUnderProgramFilesByDefault)
{
    ASSERT_FALSE(ProgramFiles().empty());
    const std::string folder = ProgramFiles() + "\\Lumidor Sample";
    DeleteTree(folder, true);
    const TEngineRun r = Run("");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(ReadWholeFile(folder + "\\data\\deep\\b.txt"), "deep");
    EXPECT_TRUE(DeleteTree(folder, true));
}

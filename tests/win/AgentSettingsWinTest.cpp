// The agent's settings on the real INI files and registry, the special
// folders and the placeholders on a real system.
#include <gtest/gtest.h>

#include "WinTestKit.h"
#include "agent/AgentProtocol.h"
#include "agent/AgentSettingsWin.h"
#include "agent/AgentState.h"
#include "sys/Win64.h"
#include "text/Common.h"
#include "text/ShellDir.h"

using namespace wintest;

namespace {

// Writes a file the way another program would: plain bytes, no profile API.
void PutFile(const std::string& path, const std::string& text)
{
    FileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(static_cast<bool>(f)) << path;
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr));
}

class AgentFiles : public ::testing::Test {
protected:
    AgentFiles() : dir_("agentset") { src_.SetFiles(Original(), Info()); }
    ~AgentFiles() override
    {
        SetFileAttributesA(Original().c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA((Original() + ".new~").c_str());
    }
    std::string Original() const { return dir_.File("agent.original"); }
    std::string Info() const { return dir_.File("agent.info"); }

    ScratchDir dir_;
    TWinSettingsSource src_;
    TAgentSettings s_{src_};
};

}  // namespace

TEST_F(AgentFiles, EveryReadSeesTheFileAsAnotherProgramLeftIt)
{
    EXPECT_EQ(s_.OriginalFilePath(), Original());
    EXPECT_EQ(s_.InfoFilePath(), Info());
    EXPECT_EQ(s_.VersionNew(), 0);  // no file yet: the default
    // Rewritten at once, with the same length each time: no read may be
    // served from an earlier copy of the file.
    for (int v = 1; v <= 9; ++v) {
        PutFile(Info(), "[NewSetup]\r\nVersionNew=" + std::to_string(v) + "\r\nShutDownMethod=Using WM_CLOSE\r\n");
        EXPECT_EQ(s_.VersionNew(), v);
        EXPECT_EQ(s_.ShutDownMethod(), "Using WM_CLOSE");
    }
    PutFile(Original(), "[MsgBox]\r\nFontName=Arial\r\nFontSize=x\r\n[AutoUpdate]\r\ns21=Nothing new\r\n");
    EXPECT_EQ(s_.FontName(), "Arial");
    EXPECT_EQ(s_.FontSize(), 8);  // not a number: the default
    EXPECT_EQ(s_.ErrorCaption(), "Error");
    EXPECT_EQ(s_.AUText("s21"), "Nothing new");
    EXPECT_EQ(s_.AUText("s31"), "Downloading INFO File...");
}

TEST_F(AgentFiles, WritesChangeOnlyTheirKeys)
{
    const std::string before =
        "; the product's record\r\n[OriginalSetup]\r\nVersionOriginal = 1\r\nProgramName=Demo  \r\n\r\n"
        "[MsgBox]\r\nBtnText=|OK|\r\n";
    PutFile(Original(), before);
    EXPECT_TRUE(s_.SetVersionOriginal(2));
    EXPECT_EQ(ReadWholeFile(Original()),
              "; the product's record\r\n[OriginalSetup]\r\nVersionOriginal = 2\r\nProgramName=Demo  \r\n\r\n"
              "[MsgBox]\r\nBtnText=|OK|\r\n");
    TAgentState st;
    AgentMessageDispatch(st, s_, kAgentSetProbeSecondsLast, 4005641039LL);  // 05-DEC-2026 14:03:59
    AgentMessageDispatch(st, s_, kAgentSetReAskSecondsInterval, -1);
    EXPECT_EQ(AgentMessageDispatch(st, s_, kAgentGetVersionOriginal, 0), 2);
    EXPECT_EQ(AgentMessageDispatch(st, s_, kAgentGetReAskSecondsInterval, 0), -1);
    const std::string after = ReadWholeFile(Original());
    EXPECT_NE(after.find("VersionOriginal = 2\r\nProgramName=Demo  \r\nProbeSecondsLast=4005641039\r\n"
                         "__ProbeSecondsLast=05"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("ReAskSecondsInterval=-1\r\n\r\n[MsgBox]\r\nBtnText=|OK|\r\n"), std::string::npos) << after;
    EXPECT_EQ(s_.ProgramNameOriginal(), "Demo");
    EXPECT_FALSE(FileExists(Original() + ".new~"));
}

TEST_F(AgentFiles, AFailedWriteLeavesTheFileAsItWas)
{
    // The original file is never made by the agent.
    EXPECT_FALSE(s_.SetStamp(5));
    EXPECT_FALSE(FileExists(Original()));

    const std::string before = "[OriginalSetup]\r\nStamp=1\r\n";
    PutFile(Original(), before);
    // The fresh file cannot be made (a folder holds its name).
    ASSERT_TRUE(CreateDirectoryA((Original() + ".new~").c_str(), nullptr));
    EXPECT_FALSE(s_.SetStamp(5));
    EXPECT_EQ(ReadWholeFile(Original()), before);
    ASSERT_TRUE(RemoveDirectoryA((Original() + ".new~").c_str()));

    // A read-only original file.
    ASSERT_TRUE(SetFileAttributesA(Original().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(s_.SetStamp(6));
    EXPECT_EQ(ReadWholeFile(Original()), before);
    EXPECT_FALSE(FileExists(Original() + ".new~"));
    SetFileAttributesA(Original().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(s_.SetStamp(7));
    EXPECT_EQ(s_.StampOriginal(), 7);
}

TEST_F(AgentFiles, UntrustedValuesAreReadSafely)
{
    std::string noise;
    for (int i = 1; i < 256; ++i)
        if (i != '\r' && i != '\n') noise += static_cast<char>(i);
    PutFile(Info(), "[NewSetup]\r\nShutDownMethod=" + std::string(200000, 'A') + "\r\nRunningProcess=" + noise +
                        "\r\nVersionNew=99999999999999999999999\r\nStamp=-9223372036854775808\r\n[General\r\n"
                        "no equals sign\r\nAutoInform=1\r\n");
    const std::string big = s_.ShutDownMethod();
    EXPECT_GT(big.size(), 1000u);
    EXPECT_LE(big.size(), static_cast<size_t>(kIniBufferSize));
    EXPECT_FALSE(s_.RunningProcess().empty());
    EXPECT_EQ(s_.VersionNew(), 0);
    EXPECT_EQ(s_.StampNew(), INT64_MIN);
    EXPECT_FALSE(s_.AutoInform());
}

namespace {

// The real registry with a clock the test moves.
class TTickSource : public TWinSettingsSource {
public:
    uint32_t TickCount() override { return tick; }
    uint32_t tick = 0xFFFF0000u;
};

constexpr const char* kTestModeSubkey = "Software\\Corvane\\Lumidor\\AutoUpdate";

void SetTestMode(DWORD mode, const std::string& date, const std::string& url)
{
    RegKey k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestModeSubkey, 0, nullptr, 0, KEY_WRITE, nullptr, k.Put(),
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k.Get(), "TestMode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode), sizeof mode);
    RegSetValueExA(k.Get(), "TestModeDate", 0, REG_SZ, reinterpret_cast<const BYTE*>(date.c_str()),
                   static_cast<DWORD>(date.size() + 1));
    RegSetValueExA(k.Get(), "TestModeURL", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                   static_cast<DWORD>(url.size() + 1));
}

}  // namespace

TEST(AgentTestMode, OnlyTodayAndCachedForThirtySeconds)
{
    const std::string today = FormatDayMonYearLocal();
    const std::string yesterday = FormatDayMonYear(NowDayNumber() - 1);
    TTickSource src;
    TAgentSettings s(src);
    SetTestMode(1, today, "Z:\\updates");
    EXPECT_TRUE(s.CheckTestMode(true));
    EXPECT_EQ(s.TestModeURL(), "Z:\\updates");

    SetTestMode(1, yesterday, "Z:\\other");
    for (int i = 0; i < 45; ++i) {  // asked every second: the cached answer
        src.tick += 1000;
        EXPECT_TRUE(s.CheckTestMode(false)) << i;
    }
    EXPECT_EQ(s.TestModeURL(), "Z:\\updates");
    src.tick += 30001;
    EXPECT_FALSE(s.CheckTestMode(false));  // yesterday's date: off
    EXPECT_EQ(s.TestModeURL(), "Z:\\other");

    SetTestMode(0, today, "");
    EXPECT_FALSE(s.CheckTestMode(true));
    SetTestMode(1, today, "");
    EXPECT_TRUE(s.CheckTestMode(true));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane");
    EXPECT_FALSE(s.CheckTestMode(true));
}

namespace {

std::string ValueOf(const std::string& output, const std::string& name)
{
    const std::string key = name + "=";
    size_t p = output.find(key);
    if (p == std::string::npos) return "<missing>";
    p += key.size();
    size_t e = output.find_first_of("\r\n", p);
    return output.substr(p, e == std::string::npos ? std::string::npos : e - p);
}

// Runs the folder probe, with SHFolder.dll switched off for it alone when
// asked (Wine reads a program's library overrides when it starts).
std::string ProbeFolders(const ScratchDir& dir, bool withoutShFolder)
{
    const std::string probe = dir.File("lumfolders.exe");
    EXPECT_TRUE(CopyFileA(BuildFile("folderprobe.exe").c_str(), probe.c_str(), FALSE));
    const std::string key = "Software\\Wine\\AppDefaults\\lumfolders.exe";
    if (withoutShFolder) {
        RegKey k;
        RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        k.Put(), nullptr);
        RegSetValueExA(k.Get(), "shfolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    }
    const std::string out = dir.File("folders.txt");
    EXPECT_EQ(RunProgram("\"" + probe + "\"", out), 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    return ReadWholeFile(out);
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

TEST(ShellFolders, WithAndWithoutSHFolder)
{
    ScratchDir dir("folders");
    const std::string win = WindowsFolder(false);
    const std::string with = ProbeFolders(dir, false);
    const std::string without = ProbeFolders(dir, true);
    ASSERT_EQ(ValueOf(with, "shfolder"), "1") << with;
    ASSERT_EQ(ValueOf(without, "shfolder"), "0") << without;

    // With SHFolder.dll the shell's own folders, all existing.
    for (const char* row : {"MyDocumentsDir", "UserAppDataDir", "UserLocalAppDataDir", "AllUsersAppDataDir"}) {
        EXPECT_TRUE(FolderExistsX(ValueOf(with, row))) << row << "=" << ValueOf(with, row);
        EXPECT_NE(ValueOf(with, row), ValueOf(without, row)) << row;
    }
    // Without it the profile base's fall-backs (no Profiles folder here).
    const std::string base = ValueOf(without, "ProfileBase");
    EXPECT_TRUE(SamePath(base, win) || SamePath(base, win + "\\Profiles\\" + RegisteredOwner())) << base;
    EXPECT_TRUE(SamePath(ValueOf(without, "MyDocumentsDir"), base + "\\My Documents")) << without;
    EXPECT_TRUE(SamePath(ValueOf(without, "UserAppDataDir"), base + "\\Application Data")) << without;
    EXPECT_TRUE(SamePath(ValueOf(without, "AllUsersAppDataDir"), win + "\\Application Data")) << without;
    EXPECT_TRUE(SamePath(ValueOf(without, "AllUsersDocumentsDir"), win + "\\Documents")) << without;
    EXPECT_TRUE(SamePath(ValueOf(without, "AllUsersDir"), win)) << without;
    // shell32's queries do not need SHFolder.dll.
    EXPECT_EQ(ValueOf(without, "UserDesktopDir"), ValueOf(with, "UserDesktopDir"));
    EXPECT_TRUE(FolderExistsX(ValueOf(without, "UserDesktopDir"))) << without;
    // Nothing ends in a backslash.
    for (const std::string* out : {&with, &without})
        EXPECT_EQ(out->find("\\\r\n"), std::string::npos) << *out;
}

TEST(ShellFolders, SixteenBitSystemFolder)
{
    const std::string sys = SystemFolder(false);
    const std::string sys16 = ShellDir(TShellDir::WinSys16Dir, false);
    ASSERT_EQ(sys.substr(sys.size() - 2), "32") << sys;
    if (!FolderExistsX(sys.substr(0, sys.size() - 2)))
        GTEST_SKIP() << "this system (a 64-bit prefix, for one) has no 16-bit system folder";
    EXPECT_EQ(sys16, sys.substr(0, sys.size() - 2));
    EXPECT_EQ(ShellDir(TShellDir::WinSys16Dir, true), sys16 + "\\");
    EXPECT_EQ(ExpandPlaceholders("<WinSys16Dir>x", "\\", true, true), sys16 + "\\x");
}

TEST(ShellFolders, DriveRootWithAndWithoutTheBackslash)
{
    ScopedEnv tmp("TMP", "C:\\");
    ScopedEnv temp("TEMP", "C:\\");
    ASSERT_EQ(TempFolder(true), "C:\\");
    EXPECT_EQ(ShellDir(TShellDir::TempDir, false), "C:");
    EXPECT_EQ(ShellDir(TShellDir::TempDir, true), "C:\\");
    EXPECT_EQ(ExpandPlaceholders("<TempDir>", "\\", true, true), "C:");
    EXPECT_EQ(ExpandPlaceholders("<TempDir>Setup.exe", "\\", true, true), "C:\\Setup.exe");
    EXPECT_EQ(ExpandPlaceholders("<WinDisk>|<WinDrive>", "\\", false, true),
              WindowsFolder(false).substr(0, 2) + "|" + WindowsFolder(false).substr(0, 3));
}

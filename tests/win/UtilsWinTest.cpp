// Utils under Wine: version resources, the message pump, files, folders,
// dates in the user's locale and the small window and system services.
#include <gtest/gtest.h>

#include <cstdio>

#include "WinTestKit.h"
#include "sys/Utils.h"

using namespace wintest;

// ---- Number texts -------------------------------------------------------------

// The stub's number formatters replaced MinGW's snprintf: on this platform
// they must print what it printed (the native tests compare with glibc's).
TEST(NumberTexts, FixedTextPrintsWhatMinGWsPrintfPrinted)
{
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, 0.125, 2.675, 1.005, 9.995, 0.0049, -0.001, 123456.789,
                             1e-7, 1e15 + 0.5, 4503599627370497.0, 18446744073709551616.0, 1048575.99999,
                             3.14159265358979, 214.748364, 10240.0 / 0.701 / 1024};
    for (double v : values) {
        for (int d = 0; d <= 4; ++d) {
            char expected[400];
            std::snprintf(expected, sizeof expected, "%.*f", d, v);
            EXPECT_EQ(FixedText(v, d), expected) << v << " with " << d << " decimals";
        }
    }
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.4x%.4x", 0x409u, 0x4B0u);
    EXPECT_EQ(HexDigits(0x409, 4) + HexDigits(0x4B0, 4), expected);
}

// ---- Version resources ------------------------------------------------------

TEST(VersionResources, FixtureWithKnownVersions)
{
    // plantdll.dll: FILEVERSION 10,0,19041,1 and ProductVersion "7, 3, 25, 4 beta".
    const std::string dll = BuildFile("plantdll.dll");
    EXPECT_EQ(GetExeVersion(dll), "10.0.19041.1");
    EXPECT_EQ(GetExeVersion(dll, 2, 3), "10.00.19041");
    EXPECT_EQ(GetExeVersion(dll, 1, 2), "10.0");
    EXPECT_EQ(GetProductVersion(dll), "7. 3. 25. 4 beta");
    EXPECT_EQ(GetProductVersion(dll, 2, 3), "07.03.25");
}

TEST(VersionResources, NoResourceOrNoFileGivesEmpty)
{
    // This test program carries no version resource.
    EXPECT_EQ(GetExeVersion(""), "");
    EXPECT_EQ(GetExeVersion(OwnPath(), 2, 3), "");
    EXPECT_EQ(GetProductVersion(""), "");
    EXPECT_EQ(GetExeVersion(OwnFolder(true) + "no-such-file.exe"), "");
    EXPECT_EQ(GetProductVersion(OwnFolder(true) + "no-such-file.exe"), "");
}

// ---- Operating system -------------------------------------------------------

TEST(OperatingSystem, RecordOfThisPrefix)
{
    // The version Wine pretends depends on the prefix; the naming of each
    // version is shown by the OS naming scenario, which switches it.
    const TOsVersionInfo v = GetOsVersion();
    EXPECT_TRUE(IsNT());
    EXPECT_FALSE(IsServer());
    EXPECT_FALSE(OsVersionRecord().is64);
    EXPECT_EQ(v.version, std::to_string(OsVersionRecord().major) + "." + std::to_string(OsVersionRecord().minor));
    EXPECT_NE(v.code, 0u);
    EXPECT_EQ(v.code & (v.code - 1), 0u) << "one bit";
    EXPECT_GT(v.build, 0u);
    EXPECT_EQ(v.name.find(".64"), std::string::npos);
}

TEST(OperatingSystem, DevTestModeNeedsTheExactCode)
{
    ScratchDir dir("devtest");
    const struct {
        const char* value;  // nullptr: not set
        const char* expected;
    } cases[] = {{kDevTestCode, "1"}, {nullptr, "0"}, {"0417", "0"}, {"417 ", "0"}, {"418", "0"}};
    int run = 0;
    for (const auto& c : cases) {
        const std::string out = dir.File("dvx" + std::to_string(++run) + ".txt");
        {
            ScopedEnv dvx("DVX", c.value);
            EXPECT_EQ(RunProgram("\"" + BuildFile("sysprobe.exe") + "\" devtest", out), 0);
        }
        EXPECT_EQ(ReadWholeFile(out).substr(0, 1), c.expected) << (c.value ? c.value : "(unset)");
    }
}

// ---- Time and waiting -------------------------------------------------------

namespace {

int gTimerTicks = 0;
int gAppMessages = 0;

LRESULT CALLBACK CountingProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_TIMER) ++gTimerTicks;
    if (msg == WM_APP) ++gAppMessages;
    return DefWindowProcA(wnd, msg, wp, lp);
}

// A hidden window that counts what reaches it.
class CountingWindow {
public:
    CountingWindow()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "LumCountingWnd";
        RegisterClassA(&wc);
        wnd_ = CreateWindowExA(0, "LumCountingWnd", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        gTimerTicks = gAppMessages = 0;
    }
    ~CountingWindow() { DestroyWindow(wnd_); }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;
    HWND Get() const { return wnd_; }

private:
    HWND wnd_;
};

}  // namespace

TEST(Waiting, MillisecondCounterFollowsTheClock)
{
    const int64_t t0 = MillisecondCounter();
    Sleep(200);
    const int64_t elapsed = MillisecondCounter() - t0;
    EXPECT_GE(elapsed, 190);
    EXPECT_LT(elapsed, 1500);
}

TEST(Waiting, WaitPumpingWaitsItsDurationWhileDispatching)
{
    CountingWindow w;
    ASSERT_NE(w.Get(), nullptr);
    SetTimer(w.Get(), 1, 10, nullptr);
    PostMessageA(w.Get(), WM_APP, 0, 0);
    const int64_t t0 = MillisecondCounter();
    WaitPumping(0, 300);
    const int64_t elapsed = MillisecondCounter() - t0;
    KillTimer(w.Get(), 1);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 1500);
    EXPECT_EQ(gAppMessages, 1);
    EXPECT_GE(gTimerTicks, 5) << "timer messages must be dispatched all along the wait";
}

TEST(Waiting, WaitPumpingYieldsAtLeastOnce)
{
    const int64_t t0 = MillisecondCounter();
    WaitPumping(60, 0);
    EXPECT_GE(MillisecondCounter() - t0, 50);
}

TEST(Waiting, YieldXLeavesQuitForTheThreadsLoop)
{
    CountingWindow w;
    PostMessageA(w.Get(), WM_APP, 0, 0);
    PostQuitMessage(7);
    YieldX(0);
    EXPECT_EQ(gAppMessages, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit request was swallowed";
    EXPECT_EQ(msg.wParam, 7u);
}

// ---- Files and folders ------------------------------------------------------

TEST(Files, AppendTextToFile)
{
    ScratchDir dir("append");
    const std::string file = dir.File("log.txt");
    EXPECT_TRUE(AppendTextToFile(file, "first", true));
    EXPECT_TRUE(AppendTextToFile(file, "second", false));
    EXPECT_TRUE(AppendTextToFile(file, "", false));
    EXPECT_EQ(ReadWholeFile(file), "first\r\nsecond");
    EXPECT_FALSE(AppendTextToFile(dir.File("missing\\log.txt"), "x", true));

    // 15 June 2020 12:34:56, local time, as a packed DOS date and time.
    const WORD date = ((2020 - 1980) << 9) | (6 << 5) | 15;
    const WORD time = (12 << 11) | (34 << 5) | (56 / 2);
    EXPECT_TRUE(AppendTextToFile(file, "third", true, (static_cast<uint32_t>(date) << 16) | time));
    EXPECT_EQ(ReadWholeFile(file), "first\r\nsecondthird\r\n");
    FileHandle f(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME utc, local;
    ASSERT_TRUE(GetFileTime(f.Get(), nullptr, nullptr, &utc));
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    WORD gotDate = 0, gotTime = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&local, &gotDate, &gotTime));
    EXPECT_EQ(gotDate, date);
    EXPECT_EQ(gotTime, time);
}

TEST(Folders, TrailingSlashByFlag)
{
    for (auto folder : {SystemFolder, WindowsFolder, TempFolder}) {
        const std::string with = folder(true), without = folder(false);
        ASSERT_FALSE(without.empty());
        EXPECT_EQ(with, without + "\\");
        EXPECT_NE(without.back(), '\\');
        EXPECT_NE(GetFileAttributesA(without.c_str()), INVALID_FILE_ATTRIBUTES) << without;
    }
    EXPECT_TRUE(EndsWith(SystemFolder(false), "\\system32", true));
    EXPECT_TRUE(EndsWith(OwnPath(), "\\win_tests.exe", true));
    EXPECT_EQ(OwnFolder(true) + "win_tests.exe", OwnFolder(false) + "\\win_tests.exe");
    EXPECT_TRUE(SameText(OwnFolder(true) + "win_tests.exe", OwnPath()));
}

// ---- Dates in the user's locale ---------------------------------------------

namespace {

// Sets one of the user's locale texts for the life of the object.
class ScopedLocaleText {
public:
    ScopedLocaleText(LCTYPE type, const char* value) : type_(type)
    {
        char buf[16] = "";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf);
        old_ = buf;
        SetLocaleInfoA(LOCALE_USER_DEFAULT, type, value);
    }
    ~ScopedLocaleText() { SetLocaleInfoA(LOCALE_USER_DEFAULT, type_, old_.c_str()); }
    ScopedLocaleText(const ScopedLocaleText&) = delete;
    ScopedLocaleText& operator=(const ScopedLocaleText&) = delete;

private:
    LCTYPE type_;
    std::string old_;
};

}  // namespace

TEST(Dates, LocaleSeparatorsAndNow)
{
    TDateTimeParts parts;
    parts.year = 2026, parts.month = 12, parts.day = 6, parts.hour = 13, parts.minute = 5, parts.second = 9;
    const double day = DateTimeToDayNumber(parts);
    {
        ScopedLocaleText date(LOCALE_SDATE, ".");
        ScopedLocaleText time(LOCALE_STIME, "-");
        EXPECT_EQ(FormatLogStamp(day), "06.12.26 13-05-09");
        EXPECT_EQ(FormatDayMonYearTime(" @ ", day), "06-DEC-2026 @ 13-05-09");
    }
    EXPECT_EQ(FormatDayMonYearLocal(day), "06-DEC-2026");

    SYSTEMTIME before, after;
    GetLocalTime(&before);
    const std::string today = FormatDayMonYearLocal(-1);
    GetLocalTime(&after);
    TDateTimeParts b;
    b.year = before.wYear, b.month = before.wMonth, b.day = before.wDay;
    TDateTimeParts a;
    a.year = after.wYear, a.month = after.wMonth, a.day = after.wDay;
    EXPECT_TRUE(today == FormatDayMonYear(b) || today == FormatDayMonYear(a)) << today;
}

// ---- Windows and small services ---------------------------------------------

TEST(Windows, TextClassAndRootOwner)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumOwnerTestWnd";
    RegisterClassA(&wc);
    HWND top = CreateWindowExA(0, "LumOwnerTestWnd", "Top window", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    HWND owned = CreateWindowExA(0, "LumOwnerTestWnd", "", WS_POPUP, 0, 0, 10, 10, top, nullptr, wc.hInstance, nullptr);
    HWND ownedTwice =
        CreateWindowExA(0, "LumOwnerTestWnd", "x", WS_POPUP, 0, 0, 10, 10, owned, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(top && owned && ownedTwice);

    EXPECT_EQ(WindowText(top), "Top window");
    EXPECT_EQ(WindowText(owned), "");
    EXPECT_EQ(WindowClassName(ownedTwice), "LumOwnerTestWnd");
    EXPECT_EQ(RootOwner(ownedTwice), top);
    EXPECT_EQ(RootOwner(top), top);
    EXPECT_EQ(WindowText(nullptr), "");
    EXPECT_EQ(WindowClassName(nullptr), "");
    EXPECT_EQ(RootOwner(nullptr), nullptr);
    DestroyWindow(top);  // takes its owned windows with it
}

TEST(SmallServices, SysErrorText)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = SysErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("Error Reading"), std::string::npos);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '.');

    SetLastError(0x2000ABCD);  // an application-defined code: the system has no text for it
    EXPECT_EQ(SysErrorText(), "Error Reading \"SysUtils.SysErrorMessage(GetLastError)\"");
}

TEST(SmallServices, AutoPlayCancelMessage)
{
    RegisterAutoPlayCancel(true);
    EXPECT_NE(AutoPlayCancelMessage(), 0u);
    EXPECT_EQ(AutoPlayCancelMessage(), RegisterWindowMessageA("QueryCancelAutoPlay"));
    RegisterAutoPlayCancel(false);
    EXPECT_EQ(AutoPlayCancelMessage(), 0u);
}

TEST(SmallServices, NamesAndProcedures)
{
    EXPECT_FALSE(CurrentUserName().empty());
    EXPECT_EQ(CurrentUserName(), Trim(CurrentUserName()));
    EXPECT_FALSE(ComputerNameText().empty());

    EXPECT_EQ(ProcedureAddress("kernel32.dll", "GetTickCount"),
              GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
    EXPECT_EQ(ProcedureAddress("kernel32.dll", "NoSuchProcedure"), nullptr);
    EXPECT_EQ(ProcedureAddress("lum-no-such-library.dll", "Anything"), nullptr);
}

TEST(SmallServices, CenterInWorkArea)
{
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    const int w = area.right - area.left, h = area.bottom - area.top;
    const POINT full = CenterInWorkArea(w, h);
    EXPECT_EQ(full.x, area.left);
    EXPECT_EQ(full.y, area.top);
    const POINT odd = CenterInWorkArea(w - 3, h - 5);  // halves rounded toward zero
    EXPECT_EQ(odd.x, area.left + 1);
    EXPECT_EQ(odd.y, area.top + 2);
}

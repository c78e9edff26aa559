#include "agent/AgentRules.h"
#include "sys/DateFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

struct ShotCase {
    const char* what;
    bool enabled, probeNow, testMode;
    int64_t interval, last, now;
    int expected;
};

TEST(AgentRules, ShotTimeStatusTable)
{
    const ShotCase cases[] = {
        {"interval not yet over", true, false, false, 3600, 1000, 4599, 0},
        {"interval just over", true, false, false, 3600, 1000, 4600, 1},
        {"interval 0 probes once", true, false, false, 0, 1000, 1000, 2},
        {"interval 0 before the last probe", true, false, false, 0, 1000, 999, 0},
        {"interval -1 never on the timer", true, false, false, -1, 0, 1000000, 0},
        {"interval -1 but probe now", true, true, false, -1, 0, 1000000, 1},
        {"probe now before the interval", true, true, false, 3600, 1000, 1001, 1},
        {"probe now after a one-time probe", false, true, false, 0, 1000, 5000, 1},
        {"disabled and no request", false, false, false, 1, 0, 1000000, 0},
        {"test mode: 5 s instead of a day", true, false, true, 86400, 1000, 1005, 1},
        {"test mode: 4 s is too early", true, false, true, 86400, 1000, 1004, 0},
        {"test mode keeps the stored 0", true, false, true, 0, 1000, 1005, 2},
        {"test mode keeps the stored -1", true, false, true, -1, 1000, 1005, 0},
        {"hostile last time does not wrap", true, false, false, 3600, kMax, 1000, 0},
        {"hostile interval does not wrap", true, false, false, kMax, 1000, 2000, 0},
    };
    for (const auto& c : cases) {
        bool probeNow = c.probeNow;
        EXPECT_EQ(ShotTimeStatus(c.enabled, probeNow, c.testMode, c.interval, c.last, c.now), c.expected) << c.what;
        EXPECT_FALSE(probeNow) << c.what << ": the request is consumed";
    }
}

TEST(AgentRules, ReAskDueIsStrictAndNeedsAPositiveInterval)
{
    EXPECT_FALSE(ReAskDue(1100, 1000, 100));
    EXPECT_TRUE(ReAskDue(1101, 1000, 100));
    EXPECT_FALSE(ReAskDue(kMax, 0, 0));
    EXPECT_FALSE(ReAskDue(kMax, 0, -5));
    EXPECT_FALSE(ReAskDue(kMax, kMax, kMax));
    EXPECT_TRUE(ReAskDue(0, kMin, 1));
}

TEST(AgentRules, ValidVersionsAreAnExactTextSearch)
{
    EXPECT_TRUE(CheckValidVersions(10, ""));
    EXPECT_TRUE(CheckValidVersions(101, "100,101"));
    EXPECT_TRUE(CheckValidVersions(100, "100,101"));
    EXPECT_FALSE(CheckValidVersions(10, "100,101"));
    EXPECT_FALSE(CheckValidVersions(1, "100,101"));
    EXPECT_FALSE(CheckValidVersions(101, "100, 101")) << "a blank after the comma belongs to the item";
    EXPECT_TRUE(CheckValidVersions(-3, "-3"));
}

TEST(AgentRules, DownloadSizeDifferenceBelow100)
{
    EXPECT_TRUE(DownloadSizeMatches(1099, 1000));
    EXPECT_FALSE(DownloadSizeMatches(1100, 1000));
    EXPECT_TRUE(DownloadSizeMatches(901, 1000));
    EXPECT_FALSE(DownloadSizeMatches(900, 1000));
    EXPECT_TRUE(DownloadSizeMatches(-1, 0)) << "unknown size against an unannounced one";
    EXPECT_FALSE(DownloadSizeMatches(-1, 2147483647)) << "no 32-bit wrap-around";
    EXPECT_FALSE(DownloadSizeMatches(-1, kMax));
    EXPECT_FALSE(DownloadSizeMatches(5, kMin));
}

struct LadderCase {
    const char* what;
    TAUFacts facts;
    bool sizeOk;
    int expected;
};

bool SizeAnswer(void* context)
{
    auto* c = static_cast<std::pair<bool, int>*>(context);
    ++c->second;
    return c->first;
}

TAUFacts Passing()
{
    TAUFacts f;
    f.infoFetched = true;
    f.versionOriginal = 1;
    f.versionNew = 2;
    f.stampOriginal = 7;
    f.stampInfo = 8;
    f.now = 5000;
    return f;
}

TEST(AgentRules, GetOkToPerformAULadder)
{
    auto with = [](auto change) {
        TAUFacts f = Passing();
        change(f);
        return f;
    };
    const LadderCase cases[] = {
        {"all passed", Passing(), true, 6},
        {"INFO not fetched", with([](TAUFacts& f) { f.infoFetched = false; }), true, 0},
        {"no original file", with([](TAUFacts& f) { f.versionOriginal = 0; }), true, 1},
        {"same stamp, no re-ask", with([](TAUFacts& f) { f.stampInfo = 7; }), true, 2},
        {"same stamp, interactive", with([](TAUFacts& f) { f.stampInfo = 7; f.interactive = true; }), true, 6},
        {"same stamp, re-ask due",
         with([](TAUFacts& f) { f.stampInfo = 7; f.reAskLast = 1000; f.reAskInterval = 3999; }), true, 6},
        {"same stamp, re-ask interval 0",
         with([](TAUFacts& f) { f.stampInfo = 7; f.reAskLast = 0; f.reAskInterval = 0; }), true, 2},
        {"same version", with([](TAUFacts& f) { f.versionNew = 1; }), true, 3},
        {"32-bit versions", with([](TAUFacts& f) { f.versionNew = 0x100000001LL; }), true, 3},
        {"not valid for 10", with([](TAUFacts& f) { f.versionOriginal = 10; f.versionNew = 11; f.validVersions = "100,101"; }), true, 4},
        {"valid for 101", with([](TAUFacts& f) { f.versionOriginal = 101; f.versionNew = 102; f.validVersions = "100,101"; }), true, 6},
        {"size off", Passing(), false, 5},
    };
    for (const auto& c : cases) {
        std::pair<bool, int> size{c.sizeOk, 0};
        EXPECT_EQ(GetOkToPerformAUCode(c.facts, &SizeAnswer, &size), c.expected) << c.what;
        EXPECT_EQ(size.second, c.expected >= 5 ? 1 : 0) << c.what << ": the size is asked for only at the last step";
    }
    EXPECT_EQ(AUCodeText(0), "Error downloading .INFO file");
    EXPECT_EQ(AUCodeText(4), "\"Valid for version\" mismatch");
    EXPECT_EQ(AUCodeText(6), "OK");
}

TEST(AgentRules, CheckNowTextDropsTheInternetPartForFolders)
{
    EXPECT_EQ(CheckNowText("A PROG_NAME ", "B ", "C", "http://x", false, "Tool"), "A Tool B C");
    EXPECT_EQ(CheckNowText("A ", "B ", "C", "C:\\updates", false, "Tool"), "A C");
    EXPECT_EQ(CheckNowText("A ", "B ", "C", "x", false, "Tool"), "A C");
    EXPECT_EQ(CheckNowText("A ", "B ", "C", "\\\\server\\share", false, "Tool"), "A B C");
    EXPECT_EQ(CheckNowText("A ", "B ", "C", "D:\\t", true, "Tool"), std::string("A C") + kTestModeNote);
    EXPECT_EQ(WithProgName("PROG_NAME and prog_name, PROG_NAME", "X"), "X and prog_name, X");
}

TEST(AgentRules, QuestionAndFailureKeys)
{
    EXPECT_STREQ(DownloadQuestionSecondKey(false, false), "s12");
    EXPECT_STREQ(DownloadQuestionSecondKey(true, false), "s13");
    EXPECT_STREQ(DownloadQuestionSecondKey(false, true), "s18");
    EXPECT_STREQ(DownloadQuestionSecondKey(true, true), "s19");
    EXPECT_STREQ(InstallQuestionKey(false), "s14");
    EXPECT_STREQ(InstallQuestionKey(true), "s20");
    EXPECT_STREQ(DownloadFailureKey(true, "C:\\x"), "s3");
    EXPECT_STREQ(DownloadFailureKey(false, "C:\\x\\setup.exe"), "s4");
    EXPECT_STREQ(DownloadFailureKey(false, "\\\\srv\\share\\setup.exe"), "s4");
    EXPECT_STREQ(DownloadFailureKey(false, "http://srv/setup.exe"), "s5");
}

TEST(AgentRules, TextDownloadsAreBoundedInSizeAndTime)
{
    EXPECT_FALSE(TextDownloadOverLimit(1048576, 1000, 61000));
    EXPECT_TRUE(TextDownloadOverLimit(1048577, 1000, 1000));
    EXPECT_TRUE(TextDownloadOverLimit(10, 1000, 61001));
    EXPECT_FALSE(TextDownloadOverLimit(10, 0xFFFFFF00u, 1000)) << "the tick count wrapped round";
    EXPECT_TRUE(TextDownloadOverLimit(10, 0xFFFFFF00u, 60000));
}

TEST(AgentRules, SHA256MatchesIgnoresCaseAndBlanksOnly)
{
    const std::string h = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
    EXPECT_TRUE(SHA256Matches(h, h));
    EXPECT_TRUE(SHA256Matches("  9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08 ", h));
    EXPECT_FALSE(SHA256Matches(h.substr(0, 63) + "9", h));
    EXPECT_FALSE(SHA256Matches(h.substr(0, 63), h.substr(0, 63)));
    EXPECT_FALSE(SHA256Matches("", ""));
    const std::string notHex(64, 'g');
    EXPECT_FALSE(SHA256Matches(notHex, notHex));
}

TEST(AgentRules, ShutDownMethodsAreExactTexts)
{
    EXPECT_EQ(ShutDownMethodOf("Issue a Message Box"), TShutDownMethod::IssueMessageBox);
    EXPECT_EQ(ShutDownMethodOf("Using WM_CLOSE"), TShutDownMethod::Close);
    EXPECT_EQ(ShutDownMethodOf("Using WM_QUIT"), TShutDownMethod::Quit);
    EXPECT_EQ(ShutDownMethodOf("Using Terminate Process"), TShutDownMethod::Terminate);
    EXPECT_EQ(ShutDownMethodOf("Don't Shut Down"), TShutDownMethod::DontShutDown);
    EXPECT_EQ(ShutDownMethodOf("using wm_close"), TShutDownMethod::Other);
    EXPECT_EQ(ShutDownMethodOf("Using WM_CLOSE "), TShutDownMethod::Other);
    EXPECT_EQ(ShutDownMethodOf(""), TShutDownMethod::Other);
    EXPECT_EQ(RunningStateAfter(false, false), 0);
    EXPECT_EQ(RunningStateAfter(false, true), 0);
    EXPECT_EQ(RunningStateAfter(true, true), 1);
    EXPECT_EQ(RunningStateAfter(true, false), 2);
}

TEST(AgentRules, RestartCommandLineQuotesThePath)
{
    EXPECT_EQ(QuotedCommandLine("C:\\Program Files\\Tool\\agent.exe", AgentRestartArgs("|255|1|255|255|255|255|255|255|")),
              "\"C:\\Program Files\\Tool\\agent.exe\" /_ZZ=99 /WAIT=10 /TRANSIENT=|255|1|255|255|255|255|255|255|");
    EXPECT_EQ(QuotedCommandLine("C:\\a b\\p.exe", ""), "\"C:\\a b\\p.exe\"");
    EXPECT_TRUE(IsAbsoluteProgramPath("C:\\Tool\\tool.exe"));
    EXPECT_TRUE(IsAbsoluteProgramPath("\\\\srv\\share\\tool.exe"));
    EXPECT_FALSE(IsAbsoluteProgramPath("tool.exe"));
    EXPECT_FALSE(IsAbsoluteProgramPath("C:tool.exe"));
    EXPECT_FALSE(IsAbsoluteProgramPath("\\Tool\\tool.exe"));
    EXPECT_FALSE(IsAbsoluteProgramPath("%TARGET%\\tool.exe"));
    EXPECT_FALSE(IsAbsoluteProgramPath(""));
}

TEST(AgentRules, DownloadBoundsAndNames)
{
    EXPECT_EQ(UpdateDownloadLimit(1000), 1099) << "what the size check still accepts";
    EXPECT_EQ(UpdateDownloadLimit(0), kMaxUpdateFileSize) << "no size announced";
    EXPECT_EQ(UpdateDownloadLimit(-5), kMaxUpdateFileSize);
    EXPECT_EQ(UpdateDownloadLimit(std::numeric_limits<int64_t>::max()), kMaxUpdateFileSize);


    const struct {
        const char* name;
        bool refused;
    } cases[] = {
        {"newsetup.exe", false}, {"agent.exe", true},  {"AGENT.EXE", true}, {"x_agent.exe", true},
        {"agent.info. . ", true}, {"agent.infox", false}, {"", true},       {"..", true},
        {"agent.original", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(*DownloadNameRefusal(c.name, "C:\\App\\agent.original", "C:\\App\\agent.info", "agent.exe") != 0,
                  c.refused)
            << c.name;
}

TEST(AgentRules, FeedExpiry)
{
    const int64_t day = DateToDayCount(2026, 12, 11);
    const struct {
        const char* expires;
        bool expired;
    } cases[] = {
        {"", false},           {"2026-12-11", false}, {" 2026-12-12 ", false}, {"2026-12-10", true},
        {"2026-02-29", true},  {"2024-02-29", true},  {"2028-02-29", false},   {"2026-13-01", true},
        {"2026-12-1", true},   {"26-12-11", true},    {"2026/12/11", true},    {"11-DEC-2026", true},
        {"2026-12-11x", true},
    };
    for (const auto& c : cases) EXPECT_EQ(FeedExpired(c.expires, day), c.expired) << c.expires;
}

}  // namespace

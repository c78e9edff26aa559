#include <gtest/gtest.h>

#include "agent/AgentSettings.h"
#include "AgentSettingsMemory.h"

TEST(AgentSettings, EmptyFilesGiveTheDefaults)
{
    TMemorySettingsSource src;
    TAgentSettings s(src);
    EXPECT_EQ(s.ProbeSecondsInterval(), 0);
    EXPECT_EQ(s.ReAskSecondsLast(), 0);
    EXPECT_EQ(s.VersionOriginal(), 0);
    EXPECT_EQ(s.TargetDir(), "");
    EXPECT_EQ(s.BtnText(), "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|");
    EXPECT_EQ(s.ErrorCaption(), "Error");
    EXPECT_EQ(s.ConfirmCaption(), "Confirm");
    EXPECT_EQ(s.AttentionCaption(), "Attention");
    EXPECT_EQ(s.FontName(), "Tahoma");
    EXPECT_EQ(s.FontSize(), 8);
    EXPECT_EQ(s.CharSet(), 0);
    EXPECT_EQ(s.AUText("s3"), "File Download Aborted!");
    EXPECT_EQ(s.AUText("s33"), "Downloading INFORM File...");
    EXPECT_EQ(s.AUText("s35"), "Download");
    EXPECT_EQ(s.AUText("s2"), "");
    EXPECT_EQ(s.AUText("s21", "given"), "given");
    EXPECT_EQ(s.AutoInformW(), 360);
    EXPECT_EQ(s.AutoInformH(), 360);
    EXPECT_FALSE(s.AutoInform());
    EXPECT_FALSE(s.RequestConfirmationBeforeDownload());
    EXPECT_FALSE(s.OverrideAskBeforeCheck());
    EXPECT_EQ(s.ShutDownMethod(), "");
}

TEST(AgentSettings, IntegerAndBooleanRules)
{
    struct Case {
        const char* text;
        int64_t want;
    } cases[] = {
        {"12", 12},
        {" -1 ", -1},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 77},  // out of range: the default
        {"12abc", 77},
        {"0x10", 77},
        {"", 77},
    };
    TMemorySettingsSource src;
    TAgentSettings s(src);
    for (const Case& c : cases) {
        src.WriteKey(kInfo, "NewSetup", "VersionNew", c.text);
        EXPECT_EQ(s.Int(kInfo, "NewSetup", "VersionNew", 77), c.want) << c.text;
    }
    for (const char* yes : {"1"}) {
        src.WriteKey(kInfo, "NewSetup", "BackgroundUpdate", yes);
        EXPECT_TRUE(s.BackgroundUpdate());
    }
    for (const char* no : {"0", "2", "true", "yes", "11", ""}) {
        src.WriteKey(kInfo, "NewSetup", "BackgroundUpdate", no);
        EXPECT_FALSE(s.BackgroundUpdate()) << no;
    }
    src.WriteKey(kInfo, "General", "AutoInform", "2");
    EXPECT_FALSE(s.AutoInform());
    src.WriteKey(kInfo, "General", "AutoInform", "1");
    EXPECT_TRUE(s.AutoInform());
}

TEST(AgentSettings, EveryCallReadsTheFileAgain)
{
    TMemorySettingsSource src;
    TAgentSettings s(src);
    src.WriteKey(kInfo, "NewSetup", "VersionNew", "3");
    EXPECT_EQ(s.VersionNew(), 3);
    src.WriteKey(kInfo, "NewSetup", "VersionNew", "4");
    EXPECT_EQ(s.VersionNew(), 4);
    src.Clear(kInfo);
    EXPECT_EQ(s.VersionNew(), 0);
}

TEST(AgentSettings, OverrideRuleOnConfirmationKeys)
{
    struct Key {
        TOverride which;
        const char* key;
        bool (TAgentSettings::*get)();
    } keys[] = {
        {ovConfirmDownload, "RequestConfirmationBeforeDownload", &TAgentSettings::RequestConfirmationBeforeDownload},
        {ovConfirmDownloadForce, "RequestConfirmationBeforeDownloadForce",
         &TAgentSettings::RequestConfirmationBeforeDownloadForce},
        {ovConfirmInstall, "RequestConfirmationBeforeInstall", &TAgentSettings::RequestConfirmationBeforeInstall},
        {ovConfirmInstallForce, "RequestConfirmationBeforeInstallForce",
         &TAgentSettings::RequestConfirmationBeforeInstallForce},
        {ovBackgroundUpdate, "BackgroundUpdate", &TAgentSettings::BackgroundUpdate},
        {ovInformFinish, "InformFinish", &TAgentSettings::InformFinish},
        {ovRestartProcess, "RestartProcess", &TAgentSettings::RestartProcess},
    };
    for (const Key& k : keys) {
        TMemorySettingsSource src;
        TAgentSettings s(src);
        src.WriteKey(kInfo, "NewSetup", k.key, "1");
        EXPECT_TRUE((s.*k.get)()) << k.key << ": 255 defers to the file";
        s.SetOverride(k.which, 0);
        EXPECT_FALSE((s.*k.get)()) << k.key << ": 0 beats the file's 1";
        src.WriteKey(kInfo, "NewSetup", k.key, "0");
        s.SetOverride(k.which, 1);
        EXPECT_TRUE((s.*k.get)()) << k.key << ": 1 beats the file's 0";
        s.SetOverride(k.which, 2);
        EXPECT_FALSE((s.*k.get)()) << k.key << ": anything but 1 is false";
    }
    // The shortcut keys have no override.
    TMemorySettingsSource src;
    TAgentSettings s(src);
    src.WriteKey(kInfo, "NewSetup", "RemoveStartUpShortcut", "1");
    EXPECT_TRUE(s.RemoveStartUpShortcut());
    EXPECT_FALSE(s.RemoveCheckForNewUpdateShortcut());
    s.SetOverride(ovAskBeforeCheck, 1);
    EXPECT_TRUE(s.OverrideAskBeforeCheck());
}

TEST(AgentSettings, OverrideListRoundTrip)
{
    struct Case {
        const char* list;
        const char* want;
    } cases[] = {
        {"|0|x||1|", "|0|255|255|1|255|255|255|255|"},  // fewer items, one not a number, one empty
        {"|1|0|1|0|1|0|1|0|", "|1|0|1|0|1|0|1|0|"},
        {"|256|-1| 7 |1.5|", "|0|255|7|255|255|255|255|255|"},  // kept as a byte
        {",5,6,", "|5|6|255|255|255|255|255|255|"},               // any separator
        {"", "|255|255|255|255|255|255|255|255|"},
        {"garbage", "|255|255|255|255|255|255|255|255|"},
    };
    for (const Case& c : cases) {
        TMemorySettingsSource src;
        TAgentSettings s(src);
        EXPECT_EQ(s.OverridesToList(), "|255|255|255|255|255|255|255|255|");
        s.OverridesFromList(c.list);
        EXPECT_EQ(s.OverridesToList(), c.want) << c.list;
        TAgentSettings next(src);  // the next agent instance reads the list back
        next.OverridesFromList(s.OverridesToList());
        EXPECT_EQ(next.OverridesToList(), c.want);
    }
    // The list order: ask, download, install, background, finish, restart,
    // download force, install force.
    TMemorySettingsSource src;
    TAgentSettings s(src);
    s.OverridesFromList("|9|9|9|9|9|9|1|9|");
    EXPECT_EQ(s.Override(ovConfirmDownloadForce), 1);
    EXPECT_TRUE(s.RequestConfirmationBeforeDownloadForce());
}

TEST(AgentSettings, NowSecondsAndTheReadableForm)
{
    TMemorySettingsSource src;
    TAgentSettings s(src);
    EXPECT_EQ(s.NowSeconds(), kNow);
    src.now.millisecond = 499;
    EXPECT_EQ(s.NowSeconds(), kNow);
    src.now.millisecond = 500;
    EXPECT_EQ(s.NowSeconds(), kNow + 1);
    EXPECT_EQ(DateTimeToSeconds({1899, 12, 30, 0, 0, 0, 0}), 0);
    EXPECT_EQ(DateTimeToSeconds({1899, 12, 31, 12, 0, 0, 0}), 86400 + 43200);

    EXPECT_EQ(ReadableSeconds(kNow), "05-DEC-2026 14:03:59");
    EXPECT_EQ(ReadableSeconds(0), "30-DEC-1899 00:00:00");
    EXPECT_EQ(ReadableSeconds(kNow, TLocaleSeparators{"/", "."}), "05-DEC-2026 14.03.59");
    // Values from another program's agent code are arbitrary: out of range
    // they are clamped, never a crash.
    EXPECT_EQ(ReadableSeconds(-5), "30-DEC-1899 00:00:00");
    EXPECT_FALSE(ReadableSeconds(INT64_MAX).empty());
}

TEST(AgentSettings, SettersWriteTheReadableFormsBeside)
{
    TMemorySettingsSource src;
    TAgentSettings s(src);
    EXPECT_TRUE(s.SetProbeSecondsLast(kNow));
    EXPECT_TRUE(s.SetReAskSecondsLast(kNow - 86400));
    EXPECT_TRUE(s.SetProbeSecondsInterval(-1));
    EXPECT_TRUE(s.SetReAskSecondsInterval(0));
    EXPECT_TRUE(s.SetVersionOriginal(7));
    EXPECT_TRUE(s.SetStamp(123456789012LL));
    EXPECT_EQ(s.ProbeSecondsLast(), kNow);
    EXPECT_EQ(src.ReadKey(kOrig, "OriginalSetup", "__ProbeSecondsLast", ""), "05-DEC-2026 14:03:59");
    EXPECT_EQ(src.ReadKey(kOrig, "OriginalSetup", "__ReAskSecondsLast", ""), "04-DEC-2026 14:03:59");
    EXPECT_EQ(s.ProbeSecondsInterval(), -1);
    EXPECT_EQ(s.ReAskSecondsInterval(), 0);
    EXPECT_EQ(s.VersionOriginal(), 7);
    EXPECT_EQ(s.StampOriginal(), 123456789012LL);

    src.writable = false;
    EXPECT_FALSE(s.SetVersionOriginal(8));
    EXPECT_FALSE(s.SetProbeSecondsLast(1));
    EXPECT_EQ(s.VersionOriginal(), 7);
    EXPECT_EQ(s.ProbeSecondsLast(), kNow);
}

TEST(AgentSettings, TestModeHoldsOnlyOnItsDay)
{
    struct Case {
        const char* mode;
        const char* date;
        bool want;
    } cases[] = {
        {"1", "05-DEC-2026", true},  {"1", "04-DEC-2026", false}, {"0", "05-DEC-2026", false},
        {"", "05-DEC-2026", false},  {"1", "", false},            {"1", "05-dec-2026", false},
    };
    for (const Case& c : cases) {
        TMemorySettingsSource src;
        src.SetRegistry("TestMode", c.mode);
        src.SetRegistry("TestModeDate", c.date);
        src.SetRegistry("TestModeURL", "Z:\\updates");
        TAgentSettings s(src);
        EXPECT_EQ(s.CheckTestMode(true), c.want) << c.mode << " " << c.date;
        EXPECT_EQ(s.TestModeURL(), "Z:\\updates");
    }
}

TEST(AgentSettings, TestModeCacheIsRenewedByEveryCall)
{
    TMemorySettingsSource src;
    src.SetRegistry("TestMode", "1");
    src.SetRegistry("TestModeDate", "05-DEC-2026");
    TAgentSettings s(src);
    src.tick = 0xFFFFF000u;  // the tick count wraps round during the test
    EXPECT_TRUE(s.CheckTestMode(false));  // never read: read now
    src.SetRegistry("TestMode", "0");
    for (int i = 0; i < 120; ++i) {  // two minutes of asking once a second
        src.tick += 1000;
        EXPECT_TRUE(s.CheckTestMode(false)) << i;
    }
    src.tick += 30000;  // exactly 30 s: still the cached answer
    EXPECT_TRUE(s.CheckTestMode(false));
    src.tick += 30001;
    EXPECT_FALSE(s.CheckTestMode(false));
    src.SetRegistry("TestMode", "1");
    src.tick += 10;
    EXPECT_FALSE(s.CheckTestMode(false));
    EXPECT_TRUE(s.CheckTestMode(true));  // forced
}

// The update cycle walked natively on the rig: the tick, the probe and its
// decision, the questions, the update and the notice.
#include "agent/AgentUpdateCycle.h"

#include <gtest/gtest.h>

#include "AgentCycleRig.h"

namespace {

TEST(AgentUpdateCycle, AWholeUpdate)
{
    Agent a;
    a.Offer({{"RequestConfirmationBeforeDownload", "1"}});
    a.Ticks(3);
    EXPECT_FALSE(a.sys.Saw("get:")) << "no probe before the fourth tick";
    a.Ticks(1);

    EXPECT_EQ(a.sys.Only("ask:"), std::vector<std::string>{"0:Download Tool? (no install question)"});
    EXPECT_EQ(a.sys.Only("get:"), (std::vector<std::string>{kInfoUrl, kSetupUrl}));
    EXPECT_EQ(a.sys.Only("close:"), std::vector<std::string>{kProduct});
    EXPECT_EQ(a.sys.Only("setup:"),
              std::vector<std::string>{"C:\\Temp\\AU_1\\new.exe|fg|/OriginalInfoFile=\"C:\\App\\agent.info\""});
    EXPECT_EQ(a.Orig("VersionOriginal"), "2");
    EXPECT_EQ(a.Orig("Stamp"), "5");
    EXPECT_FALSE(a.sys.FileExists("C:\\Temp\\AU_1\\new.exe")) << "the setup file is deleted";
    EXPECT_EQ(a.sys.Only("limit:"), std::vector<std::string>{std::to_string(a.sys.http[kSetupUrl].size() + 99)})
        << "bounded by the announced size";
    // Held unchangeable from its check through its run.
    const auto at = [&](const std::string& e) {
        return std::find_if(a.sys.events.begin(), a.sys.events.end(),
                            [&](const std::string& x) { return x.rfind(e, 0) == 0; }) - a.sys.events.begin();
    };
    EXPECT_LT(at("hold:C:\\Temp\\AU_1\\new.exe"), at("close:"));
    EXPECT_LT(at("setup:"), at("release"));
    EXPECT_LT(at("release"), at("rmdir:C:\\Temp\\AU_1\\"));
    EXPECT_EQ(a.sys.Only("notify:"),
              (std::vector<std::string>{"40/1", "40/2", "41/1", "41/2", "42/1", "42/2"}));
    std::vector<std::string> markers;
    for (const auto& t : a.sys.Only("trace:77 ==== PerformAutoUpdate-")) markers.push_back(t);
    EXPECT_EQ(markers, (std::vector<std::string>{"4 ====", "5 ====", "6 ====", "7 ====", "8 ====", "9 ====",
                                                 "10 ====", "11 ====", "12 ====", "13 ===="}));
    EXPECT_EQ(a.sys.Only("start:"),
              (std::vector<std::string>{std::string(kProduct) + "||shown",
                                        "C:\\App\\agent.exe|/_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|255|255|255|"
                                        "255||hidden"}));
    EXPECT_TRUE(a.sys.Saw("destroy"));
    EXPECT_TRUE(a.sys.Saw("trace:TRUE TRUE >C:\\App\\tool.exe<"));

    const std::vector<std::string> order = {
        "TestMode=FALSE", "Download START: http://srv/upd\\agent.info", "Download END:   http://srv/upd/agent.info",
        "GetOkToPerformAU = 6 - OK", "PerformAutoUpdate() - START", "TestMode=FALSE",
        "Download START: http://srv/files\\new.exe", "Download END:   http://srv/files/new.exe",
        "Shut Down Process() - START  (C:\\App\\tool.exe)  Method: Using WM_CLOSE", "Shut Down Process() - END",
        "PerformAutoUpdate() - END    Result=TRUE", ".. ReStartAutoUpdateExe() - Start",
        ".. WinExec - C:\\App\\agent.exe /_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|255|255|255|255|255|",
        ".. PostMessage(WM_DESTROY)", ".. ReStartAutoUpdateExe() - End"};
    EXPECT_EQ(a.LogLines(), order);

    // Interval 0: one probe, never again on the timer.
    a.sys.events.clear();
    a.Ticks(5);
    EXPECT_FALSE(a.sys.Saw("get:"));
}

TEST(AgentUpdateCycle, RefusedSetupsRunNothing)
{
    struct Case {
        const char* what;
        std::function<void(Agent&)> arrange;
        std::string error;  // the error box's text, "" for none
    };
    const Case cases[] = {
        {"another product's token", [](Agent& a) { a.sys.http[kSetupUrl] = "PKG:" + ScrambleValue("Other"); },
         "Bad Secret Token!"},
        {"a token that does not unscramble", [](Agent& a) { a.sys.http[kSetupUrl] = "PKG:garbage"; },
         "Bad Secret Token!"},
        {"no token of our own", [](Agent& a) { a.sys.ownToken = "garbage"; a.sys.http[kSetupUrl] = "PKG:garbage"; },
         "Bad Secret Token!"},
        {"a digest that does not match",
         [](Agent& a) {
             a.Offer({{"SHA256OfUpdateFile", std::string(64, 'a')}});
             a.sys.sha = std::string(64, 'B');
         },
         "The downloaded file does not match its SHA-256 checksum!<P><P>http://srv/files/new.exe"},
    };
    for (const auto& c : cases) {
        Agent a;
        c.arrange(a);
        a.Ticks(4);
        EXPECT_EQ(a.sys.Only("error:"), std::vector<std::string>{"0:" + c.error}) << c.what;
        const auto del = std::find(a.sys.events.begin(), a.sys.events.end(), "rmdir:C:\\Temp\\AU_1\\");
        ASSERT_NE(del, a.sys.events.end()) << c.what;
        EXPECT_EQ(*(del - 1), "release") << c.what << ": a held file cannot be deleted";
        EXPECT_FALSE(a.sys.FileExists("C:\\Temp\\AU_1\\new.exe")) << c.what;
        EXPECT_FALSE(a.sys.Saw("setup:")) << c.what;
        EXPECT_FALSE(a.sys.Saw("close:")) << c.what << ": the product is left alone";
        EXPECT_TRUE(a.Logged("ERROR: " + c.error)) << c.what;
        EXPECT_TRUE(a.Logged("PerformAutoUpdate() - END    Result=FALSE")) << c.what;
        EXPECT_EQ(a.Orig("VersionOriginal"), "1") << c.what;
        EXPECT_FALSE(a.sys.Saw("destroy")) << c.what;
    }

    // A matching digest (either case) lets the token decide.
    Agent a;
    a.Offer({{"SHA256OfUpdateFile", std::string(64, 'b')}});
    a.sys.sha = std::string(64, 'B');
    a.Ticks(4);
    EXPECT_TRUE(a.sys.Saw("setup:"));
}

TEST(AgentUpdateCycle, LadderRefusalsNeverDownloadTheSetup)
{
    struct Case {
        const char* what;
        std::map<std::string, std::string> offer;
        const char* version;
        int code;
    };
    const Case cases[] = {
        {"same stamp", {{"Stamp", "1"}}, "1", 2},
        {"not valid for 10", {{"ValidVersions", "100,101"}, {"VersionNew", "102"}}, "10", 4},
        {"valid for 101", {{"ValidVersions", "100,101"}, {"VersionNew", "102"}}, "101", 6},
        {"size off by 100", {{"SizeOfUpdateFile", "0"}}, "1", 5},
        {"no original file", {}, "0", 1},
    };
    for (const auto& c : cases) {
        Agent a;
        if (std::string(c.what) == "size off by 100") a.sys.http[kSetupUrl] = "PKG:" + std::string(100, 'x');
        a.Offer(c.offer);
        a.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "VersionOriginal", c.version);
        a.Ticks(4);
        EXPECT_TRUE(a.sys.Saw("log:GetOkToPerformAU = " + std::to_string(c.code) + " - ")) << c.what;
        EXPECT_EQ(std::count(a.sys.events.begin(), a.sys.events.end(), std::string("get:") + kSetupUrl),
                  c.code == 6 ? 1 : 0)
            << c.what;
        if (c.code == 5) {
            EXPECT_TRUE(a.Logged("  HttpSize=104")) << c.what;
        }
    }
}

TEST(AgentUpdateCycle, DeclinedQuestionsStopBeforeTheirStep)
{
    Agent declined;
    declined.Offer({{"RequestConfirmationBeforeDownload", "1"}});
    declined.sys.answers = {false};
    declined.Ticks(4);
    EXPECT_EQ(declined.sys.Only("get:"), std::vector<std::string>{kInfoUrl}) << "no download";
    EXPECT_TRUE(declined.Logged("PerformAutoUpdate() - END    Result=FALSE"));
    EXPECT_EQ(declined.Orig("Stamp"), "5") << "the offer counts as made";

    Agent install;
    install.Offer({{"RequestConfirmationBeforeInstall", "1"}});
    install.src.WriteKey(TSettingsFile::Original, "AutoUpdate", "s14", "Install PROG_NAME?");
    install.sys.answers = {false};
    install.Ticks(4);
    EXPECT_EQ(install.sys.Only("ask:"), std::vector<std::string>{"0:Install Tool?"});
    EXPECT_FALSE(install.sys.Saw("close:"));
    EXPECT_FALSE(install.sys.Saw("setup:"));

    // Forced: told, not asked, and the update goes on.
    Agent forced;
    forced.Offer({{"RequestConfirmationBeforeDownload", "1"}, {"RequestConfirmationBeforeDownloadForce", "1"}});
    forced.src.WriteKey(TSettingsFile::Original, "AutoUpdate", "s18", " (will install)");
    forced.Ticks(4);
    EXPECT_EQ(forced.sys.Only("warn:"), std::vector<std::string>{"2:Download Tool? (will install)"});
    EXPECT_TRUE(forced.sys.Saw("setup:"));
}

TEST(AgentUpdateCycle, AUsersCheckWithoutAConnection)
{
    Agent a;
    a.sys.connected = false;
    a.src.WriteKey(TSettingsFile::Original, "AutoUpdate", "s2", "No connection.");
    a.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsInterval", "-1");
    AgentMessageDispatch(a.state, a.settings, kAgentProbeNow, kAgentProbeInteractive);
    a.Ticks(1);
    EXPECT_FALSE(a.sys.Saw("get:"));
    EXPECT_EQ(a.sys.Only("error:"), std::vector<std::string>{"0:No connection.<P><P>The system has no connection."});
}

TEST(AgentUpdateCycle, AgentCodesThatSteerTheCycle)
{
    // 32: the INFO file is fetched again, and nothing is decided on it.
    Agent info;
    info.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsInterval", "-1");
    AgentMessageDispatch(info.state, info.settings, kAgentJustDownloadInfo, 0);
    info.Ticks(1);
    EXPECT_EQ(info.sys.Only("notify:"), (std::vector<std::string>{"40/1", "40/2"}));
    EXPECT_EQ(info.sys.files["C:\\App\\agent.info"], info.sys.http[kInfoUrl]);
    EXPECT_FALSE(info.sys.Saw("log:GetOkToPerformAU"));
    EXPECT_FALSE(info.state.justDownloadInfoFileRequested);

    // 20: a probe on the timer asks first; No means no probe.
    Agent ask;
    AgentMessageDispatch(ask.state, ask.settings, kAgentSetOverrideFirst, 1);
    ask.sys.answers = {false};
    ask.Ticks(4);
    EXPECT_EQ(ask.sys.Only("ask:"), std::vector<std::string>{"1:Check Tool now? Online."});
    EXPECT_FALSE(ask.sys.Saw("get:"));

    // 23 and 25: the setup runs in the background, the product is not
    // started again, and the restarted agent gets both overrides.
    Agent over;
    AgentMessageDispatch(over.state, over.settings, kAgentSetOverrideFirst + 3, 1);
    AgentMessageDispatch(over.state, over.settings, kAgentSetOverrideFirst + 5, 0);
    over.Ticks(4);
    ASSERT_EQ(over.sys.Only("setup:").size(), 1u);
    EXPECT_NE(over.sys.Only("setup:")[0].find("|bg|"), std::string::npos);
    EXPECT_FALSE(over.sys.Saw(std::string("start:") + kProduct));
    const std::string restart = "C:\\App\\agent.exe|/_ZZ=99 /WAIT=10 /TRANSIENT=|255|255|255|1|255|0|255|255||hidden";
    EXPECT_EQ(over.sys.Only("start:"), std::vector<std::string>{restart});

    // The next agent, given that list, takes the same decisions.
    Agent next;
    next.settings.OverridesFromList("|255|255|255|1|255|0|255|255|");
    next.Ticks(4);
    EXPECT_NE(next.sys.Only("setup:")[0].find("|bg|"), std::string::npos);
    EXPECT_FALSE(next.sys.Saw(std::string("start:") + kProduct));

    // BackgroundUpdate=1 in the INFO file does the same without an override.
    Agent background;
    background.Offer({{"BackgroundUpdate", "1"}});
    background.Ticks(4);
    EXPECT_NE(background.sys.Only("setup:")[0].find("|bg|"), std::string::npos);
}

TEST(AgentUpdateCycle, TestModeReadsTheFolderAndNeverTheServer)
{
    Agent a;
    a.src.SetRegistry("TestMode", "1");
    a.src.SetRegistry("TestModeDate", "05-DEC-2026");
    a.src.SetRegistry("TestModeURL", "C:\\Updates");
    a.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsInterval", "86400");
    a.Offer({{"DownloadURL_UPDATE", "http://srv/files"}, {"VersionNew", "1"}});
    a.sys.files["C:\\Updates\\agent.info"] = a.sys.http[kInfoUrl];
    a.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsLast", std::to_string(a.settings.NowSeconds() - 4));
    a.Ticks(4);
    EXPECT_FALSE(a.sys.Saw("log:Download START")) << "4 s after the last probe: too early even in test mode";
    a.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsLast", std::to_string(a.settings.NowSeconds() - 5));
    a.Ticks(1);
    EXPECT_TRUE(a.Logged("Download START: C:\\Updates\\agent.info"));
    EXPECT_TRUE(a.Logged("GetOkToPerformAU = 3 - New version is not higher then old version"));
    EXPECT_FALSE(a.sys.Saw("get:")) << "nothing over HTTP in test mode";

    // The interactive check asks first, with the test-mode note and without
    // the Internet part for a folder.
    a.sys.answers = {false};
    AgentMessageDispatch(a.state, a.settings, kAgentProbeNow, kAgentProbeInteractive);
    a.Ticks(1);
    EXPECT_EQ(a.sys.Only("ask:"), std::vector<std::string>{std::string("1:Check Tool now?") + kTestModeNote});
}

TEST(AgentUpdateCycle, InteractiveCheck)
{
    // Same stamp: refused on the timer, passes when asked for.
    Agent a;
    a.Offer({{"Stamp", "1"}, {"NameOfUpdateFile", ""}});
    a.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsInterval", "-1");
    a.Ticks(6);
    EXPECT_FALSE(a.sys.Saw("log:GetOkToPerformAU")) << "-1: never on the timer";
    AgentMessageDispatch(a.state, a.settings, kAgentProbeNow, 1);
    a.Ticks(1);
    EXPECT_TRUE(a.Logged("GetOkToPerformAU = 2 - Too early for retesting"));
    AgentMessageDispatch(a.state, a.settings, kAgentProbeNow, kAgentProbeInteractive);
    a.Ticks(1);
    EXPECT_EQ(a.sys.Only("ask:"), std::vector<std::string>{"1:Check Tool now? Online."});
    EXPECT_TRUE(a.Logged("GetOkToPerformAU = 6 - OK"));
    EXPECT_EQ(a.state.agentMode, 0) << "one tick only";

    // Nothing new: the s21 box.
    a.Offer({{"VersionNew", "1"}, {"Stamp", "9"}});
    AgentMessageDispatch(a.state, a.settings, kAgentProbeNow, kAgentProbeInteractive);
    a.Ticks(1);
    EXPECT_EQ(a.sys.Only("warn:"), std::vector<std::string>{"1:Nothing new."});
}

TEST(AgentUpdateCycle, InformNotices)
{
    const std::string notice = "|" + ScrambleValue(kToken) + "|x|y|Version 3 is out.";
    Agent a;
    a.sys.http["http://srv/files/notice.txt"] = notice;
    a.Offer({{"General.AutoInform", "1"}, {"AutoInform.NameOfInformFile", "notice.txt"},
             {"AutoInform.SizeOfInformFile", std::to_string(notice.size())},
             {"AutoInform.DownloadURL_INFORM", "http://example.test/new"}, {"VersionNew", "3"}});
    a.Ticks(4);
    EXPECT_EQ(a.sys.Only("inform:"),
              std::vector<std::string>{"New Version|Download|360x360|http://example.test/new|Version 3 is out."});
    EXPECT_EQ(a.Orig("VersionOriginal"), "3");
    EXPECT_FALSE(a.sys.Saw("setup:")) << "inform mode never updates";
    EXPECT_FALSE(a.sys.FileExists("C:\\App\\notice.txt")) << "nothing written beside the agent";
    EXPECT_TRUE(a.sys.Saw("rmdir:C:\\Temp\\AU_1\\")) << "the download's folder goes after the notice";
    EXPECT_EQ(a.sys.Only("notify:"), (std::vector<std::string>{"40/1", "40/2", "41/1", "41/2"}));
    EXPECT_TRUE(a.Logged("PerformAutoInform() - END TRUE"));

    // Another product's notice: nothing shown, the version stays.
    Agent other;
    other.sys.http["http://srv/files/notice.txt"] = "|" + ScrambleValue("Other") + "|x|y|Hi";
    other.Offer({{"General.AutoInform", "1"}, {"AutoInform.NameOfInformFile", "notice.txt"},
                 {"AutoInform.SizeOfInformFile", "38"}});
    other.sys.http["http://srv/files/notice.txt"].resize(38, ' ');
    other.Ticks(4);
    EXPECT_FALSE(other.sys.Saw("inform:"));
    EXPECT_EQ(other.Orig("VersionOriginal"), "1");
    EXPECT_TRUE(other.Logged("PerformAutoInform() - END FALSE"));

    // Neither body nor address: not shown, so the offer comes again.
    Agent empty;
    const std::string bare = "|" + ScrambleValue(kToken) + "|x|y|";
    empty.sys.http["http://srv/files/notice.txt"] = bare;
    empty.Offer({{"General.AutoInform", "1"}, {"AutoInform.NameOfInformFile", "notice.txt"},
                 {"AutoInform.SizeOfInformFile", std::to_string(bare.size())}});
    empty.Ticks(4);
    EXPECT_EQ(empty.Orig("VersionOriginal"), "1");
}

}  // namespace

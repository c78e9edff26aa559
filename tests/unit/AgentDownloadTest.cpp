// The downloads walked natively through the cycle on the rig: only what
// arrived whole, from a name the agent may take, signed when it must be, is
// decided on or run.
#include "agent/AgentDownload.h"

#include <gtest/gtest.h>

#include "AgentCycleRig.h"

namespace {

TEST(AgentDownload, AFailedInfoDownloadIsNeverDecidedOn)
{
    // The server's answer did not arrive whole with a success status: the
    // INFO file of the last probe stays, the ladder stops at 0, the run log
    // says why, and a user's check shows the download's error.
    const std::string old = "[NewSetup]\r\nVersionNew=1\r\n";
    const std::pair<const char*, std::string> cases[] = {
        {"an error status", "http://srv/upd/agent.info --- HTTP status 500"},
        {"a body cut short", "agent.info --- Download incomplete (60 of 120 bytes)"},
        {"no such file", "http://srv/upd/agent.info --- 404"},
    };
    for (const auto& [what, failure] : cases) {
        Agent a;
        a.sys.files["C:\\App\\agent.info"] = old;
        if (std::string(what) == "no such file")
            a.sys.http.erase(kInfoUrl);
        else
            a.sys.failures[kInfoUrl] = failure;
        a.Ticks(4);
        EXPECT_TRUE(a.Logged("ERROR: " + failure)) << what;
        EXPECT_TRUE(a.Logged("GetOkToPerformAU = 0 - Error downloading .INFO file")) << what;
        EXPECT_EQ(a.sys.files["C:\\App\\agent.info"], old) << what;
        EXPECT_FALSE(a.sys.Saw(std::string("get:") + kSetupUrl)) << what;
        EXPECT_FALSE(a.sys.Saw("close:")) << what;
        EXPECT_EQ(a.Orig("Stamp"), "1") << what;

        AgentMessageDispatch(a.state, a.settings, kAgentProbeNow, kAgentProbeInteractive);
        a.Ticks(1);
        EXPECT_EQ(a.sys.Only("error:"), std::vector<std::string>{"0:" + failure}) << what;
        EXPECT_FALSE(a.sys.Saw("warn:")) << what << ": not the no-update box";
    }
}

TEST(AgentDownload, OnlyASetupThisDownloadWroteWholeIsChecked)
{
    // A genuine package of the same name lies in the agent's folder, left
    // there by someone; the download of the new setup fails. Nothing is
    // checked, nothing runs, and no token error is made up.
    const char* failures[] = {"new.exe --- Download refused (no length)",
                              "new.exe --- Download incomplete (100 of 104 bytes)",
                              "http://srv/files/new.exe --- HTTP status 403"};
    for (const char* failure : failures) {
        Agent a;
        a.sys.files["C:\\App\\new.exe"] = a.sys.http[kSetupUrl];
        a.sys.failures[kSetupUrl] = failure;
        a.Offer({{"RequestConfirmationBeforeDownload", "1"}});
        a.src.WriteKey(TSettingsFile::Original, "AutoUpdate", "s5", "Unable to Download File!");
        a.Ticks(4);
        EXPECT_TRUE(a.Logged(std::string("ERROR: ") + failure)) << failure;
        EXPECT_FALSE(a.sys.Saw("hold:")) << failure;
        EXPECT_FALSE(a.sys.Saw("error:")) << failure;
        EXPECT_EQ(a.sys.Only("warn:"),
                  std::vector<std::string>{"0:Unable to Download File!<P><P>http://srv/files/new.exe"})
            << failure;
        EXPECT_FALSE(a.sys.Saw("setup:")) << failure;
        EXPECT_FALSE(a.sys.Saw("close:")) << failure;
        EXPECT_TRUE(a.sys.Saw("rmdir:C:\\Temp\\AU_1\\")) << failure;
        EXPECT_EQ(a.sys.files["C:\\App\\new.exe"], a.sys.http[kSetupUrl]) << failure << ": not ours to delete";
    }
}

TEST(AgentDownload, TheServerCannotNameTheAgentsOwnFiles)
{
    const char* names[] = {"agent.original", "AGENT.INFO", "agent.exe", "x_agent.exe", "agent.exe.",
                           "..\\agent.original"};
    for (const char* name : names) {
        const std::string source = std::string("http://srv/files\\") + NamePart(name);
        // The new setup.
        Agent a;
        a.sys.files["C:\\App\\agent.original"] = "kept";
        a.Offer({{"NameOfUpdateFile", name}, {"SizeOfUpdateFile", "0"}});
        a.Ticks(4);
        EXPECT_TRUE(a.sys.Saw("log:ERROR: " + source + " --- refused: ")) << name;
        EXPECT_EQ(a.sys.Only("get:"), std::vector<std::string>{kInfoUrl}) << name << ": nothing fetched";
        EXPECT_FALSE(a.sys.Saw("setup:")) << name;
        EXPECT_EQ(a.sys.files["C:\\App\\agent.original"], "kept") << name;
        EXPECT_EQ(a.Orig("VersionOriginal"), "1") << name;

        // The inform file.
        Agent n;
        n.Offer({{"General.AutoInform", "1"}, {"AutoInform.NameOfInformFile", name},
                 {"AutoInform.SizeOfInformFile", "0"}});
        n.Ticks(4);
        EXPECT_TRUE(n.sys.Saw("log:ERROR: " + source + " --- refused: ")) << name;
        EXPECT_FALSE(n.sys.Saw("inform:")) << name;
    }
    // Any other name lands in a folder of this download's own, never in the
    // agent's folder, and goes with it.
    Agent a;
    a.sys.http["http://srv/files/tool.exe"] = a.sys.http[kSetupUrl];
    a.sys.files[kProduct] = "the product";
    a.Offer({{"NameOfUpdateFile", "tool.exe"}});
    a.Ticks(4);
    EXPECT_EQ(a.sys.Only("setup:").size(), 1u);
    EXPECT_EQ(a.sys.files[kProduct], "the product");
    EXPECT_FALSE(a.sys.FileExists("C:\\Temp\\AU_1\\tool.exe"));
}

TEST(AgentDownload, FailureBoxesOfAConfirmedDownload)
{
    struct Case {
        const char* what;
        std::function<void(Agent&)> arrange;
        std::string box;
    };
    const Case cases[] = {
        {"aborted",
         [](Agent& a) {
             a.sys.failures[kSetupUrl] = "Download Aborted";
             a.sys.aborted = true;
         },
         "0:File Download Aborted!"},
        {"over HTTP", [](Agent& a) { a.sys.failures[kSetupUrl] = "new.exe --- Download incomplete"; },
         "0:Unable to Download File!<P><P>http://srv/files/new.exe"},
        {"from a folder",
         [](Agent& a) {
             a.src.SetRegistry("TestMode", "1");
             a.src.SetRegistry("TestModeDate", "05-DEC-2026");
             a.src.SetRegistry("TestModeURL", "C:\\Updates");
             a.sys.files["C:\\Updates\\agent.info"] = a.sys.http[kInfoUrl];
             a.Offer({{"SizeOfUpdateFile", "0"}, {"RequestConfirmationBeforeDownload", "1"}});
             a.sys.files["C:\\Updates\\agent.info"] = a.sys.http[kInfoUrl];
             a.sys.files["C:\\Updates\\new.exe"] = "";
         },
         "0:File not Found!<P><P>C:\\Updates\\new.exe"},
    };
    for (const auto& c : cases) {
        Agent a;
        a.Offer({{"RequestConfirmationBeforeDownload", "1"}});
        c.arrange(a);
        a.Ticks(4);
        EXPECT_EQ(a.sys.Only("warn:"), std::vector<std::string>{c.box}) << c.what;
        EXPECT_TRUE(a.Logged("ATTENTION: " + c.box.substr(2))) << c.what;
        EXPECT_FALSE(a.sys.Saw("setup:")) << c.what;
    }
}

TEST(AgentDownload, AnAgentWithAKeyTakesOnlySignedOffers)
{
    const std::string digest = "SHA256OfUpdateFile";
    const std::string sigUrl = std::string(kInfoUrl) + ".sig";
    const auto sign = [&](Agent& a) { a.sys.http[sigUrl] = "SIG:" + a.sys.http[kInfoUrl]; };
    struct Case {
        const char* what;
        std::function<void(Agent&)> arrange;
        std::string error;  // the run log's ERROR line, "" when the update runs
    };
    const Case cases[] = {
        {"signed", [&](Agent& a) { sign(a); }, ""},
        {"no signature", [](Agent&) {},
         "ERROR: agent.info --- refused: not signed by the update key (http://srv/upd/agent.info.sig --- 404)"},
        {"changed after signing",
         [&](Agent& a) {
             sign(a);
             a.sys.http[kInfoUrl] += "[General]\r\nAutoInform=0\r\n";
         },
         "ERROR: agent.info --- refused: not signed by the update key (the signature does not match)"},
        {"another key",
         [&](Agent& a) {
             sign(a);
             a.sys.key = "beef";
         },
         "ERROR: agent.info --- refused: not signed by the update key (the signature does not match)"},
        {"expired",
         [&](Agent& a) {
             a.Offer({{digest, std::string(64, 'a')}, {"Expires", "2001-02-03"}});
             sign(a);
         },
         "ERROR: agent.info --- refused: expired"},
        {"an expiry that is no date",
         [&](Agent& a) {
             a.Offer({{digest, std::string(64, 'a')}, {"Expires", "soon"}});
             sign(a);
         },
         "ERROR: agent.info --- refused: expired"},
        {"good for years",
         [&](Agent& a) {
             a.Offer({{digest, std::string(64, 'a')}, {"Expires", "2999-12-31"}});
             sign(a);
         },
         ""},
        {"no digest of the setup",
         [&](Agent& a) {
             a.Offer({});
             sign(a);
         },
         "ERROR: http://srv/files\\new.exe --- refused: a signed offer without its SHA-256"},
        {"a setup of another digest",
         [&](Agent& a) {
             a.sys.sha = std::string(64, 'b');
             sign(a);
         },
         "ERROR: The downloaded file does not match its SHA-256 checksum!<P><P>http://srv/files/new.exe"},
    };
    for (const auto& c : cases) {
        Agent a;
        a.sys.key = "c0ffee";
        a.sys.sha = std::string(64, 'a');
        a.Offer({{digest, std::string(64, 'a')}});
        c.arrange(a);
        a.Ticks(4);
        if (c.error.empty()) {
            EXPECT_EQ(a.sys.Only("setup:").size(), 1u) << c.what;
            EXPECT_FALSE(a.sys.Saw("log:ERROR")) << c.what;
            continue;
        }
        EXPECT_TRUE(a.Logged(c.error)) << c.what;
        EXPECT_FALSE(a.sys.Saw("setup:")) << c.what;
        EXPECT_FALSE(a.sys.Saw("close:")) << c.what << ": nothing stopped";
        EXPECT_EQ(a.Orig("VersionOriginal"), "1") << c.what;
    }

    // Refused INFO files are never stored; an agent without a key still
    // updates from an unsigned one (every other test here).
    Agent a;
    a.sys.key = "c0ffee";
    a.Ticks(4);
    EXPECT_FALSE(a.sys.FileExists("C:\\App\\agent.info"));
    EXPECT_TRUE(a.Logged("GetOkToPerformAU = 0 - Error downloading .INFO file"));
}

TEST(AgentDownload, HostileInfoFilesEndTheProbeOnly)
{
    // From a folder: a file beyond the cap is refused unread.
    Agent big;
    big.src.SetRegistry("TestMode", "1");
    big.src.SetRegistry("TestModeDate", "05-DEC-2026");
    big.src.SetRegistry("TestModeURL", "C:\\Updates");
    big.sys.files["C:\\Updates\\agent.info"] = std::string(kMaxAUTextFileSize + 1, 'x');
    big.Ticks(4);
    EXPECT_TRUE(big.Logged("GetOkToPerformAU = 0 - Error downloading .INFO file"));
    EXPECT_FALSE(big.sys.FileExists("C:\\App\\agent.info")) << "a refused INFO file is not stored";

    // Bytes of any kind: defaults, a refusal, and the agent ticks on.
    Agent noise;
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
    noise.sys.http[kInfoUrl] = bytes;
    noise.src.WriteKey(TSettingsFile::Original, "OriginalSetup", "ProbeSecondsInterval", "1");
    noise.Ticks(4);
    EXPECT_TRUE(noise.sys.Saw("log:GetOkToPerformAU = "));
    EXPECT_FALSE(noise.sys.Saw("setup:"));
    const int32_t before = noise.state.autoUpdateTimerCount;
    noise.Ticks(3);
    EXPECT_EQ(noise.state.autoUpdateTimerCount, before + 3);

    // An HTML error page served as the INFO file is a failed download.
    Agent page;
    page.sys.http[kInfoUrl] = "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD></HTML>";
    page.Ticks(4);
    EXPECT_TRUE(page.Logged("GetOkToPerformAU = 0 - Error downloading .INFO file"));
}

TEST(AgentDownload, NameOfUpdateFileCannotLeaveTheAgentsFolder)
{
    Agent a;
    a.sys.http["http://srv/files/evil.exe"] = a.sys.http[kSetupUrl];
    a.Offer({{"NameOfUpdateFile", "..\\..\\Windows\\evil.exe"},
             {"SizeOfUpdateFile", std::to_string(a.sys.http[kSetupUrl].size())}});
    a.Ticks(4);
    EXPECT_EQ(a.sys.Only("setup:").size(), 1u);
    EXPECT_EQ(a.sys.Only("setup:")[0].rfind("C:\\Temp\\AU_1\\evil.exe|", 0), 0u);
}

}  // namespace

// The update cycle walked natively: a fake system serves the INFO file, the
// new setup and the inform file, answers the boxes and records what the
// agent did, in order.
#include "agent/AgentUpdateCycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>

#include "agent/AgentProtocol.h"
#include "agent/AgentRules.h"
#include "agent/AgentState.h"
#include "agent/AgentSystem.h"
#include "AgentSettingsMemory.h"
#include "package/PackX.h"
#include "sys/Files.h"

namespace {

constexpr const char* kToken = "Tool-5A1C-2026";
constexpr const char* kInfoUrl = "http://srv/upd/agent.info";
constexpr const char* kSetupUrl = "http://srv/files/new.exe";
constexpr const char* kProduct = "C:\\App\\tool.exe";

class TFakeSystem : public TAUSystem {
public:
    explicit TFakeSystem(TMemorySettingsSource& src) : src_(src) {}

    std::vector<std::string> events;  // everything the agent did, in order
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> http;
    std::deque<bool> answers;  // Yes / No of the questions, Yes when empty
    std::set<std::string> running;
    bool closeWorks = true;
    bool setupSucceeds = true;
    std::string sha = "";
    std::function<void()> onWarn;

    bool Saw(const std::string& prefix) const
    {
        return std::any_of(events.begin(), events.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    }
    std::vector<std::string> Only(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
        return out;
    }

    void Trace(const std::string& line) override { events.push_back("trace:" + line); }
    void RunLog(const std::string& line) override { events.push_back("log:" + line); }
    void Notify(int code, int value) override
    {
        events.push_back("notify:" + std::to_string(code) + "/" + std::to_string(value));
    }
    uint32_t ProcessId() override { return 77; }
    void ErrorBox(intptr_t owner, const std::string& text) override
    {
        events.push_back("error:" + std::to_string(owner) + ":" + text);
    }
    void WarnBox(intptr_t owner, const std::string& text) override
    {
        events.push_back("warn:" + std::to_string(owner) + ":" + text);
        if (onWarn) onWarn();
    }
    bool Ask(intptr_t owner, const std::string& text) override
    {
        events.push_back("ask:" + std::to_string(owner) + ":" + text);
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void SetBoxFont(const std::string&, int, int) override {}
    void Wait(uint32_t) override {}
    void ShowMain(bool show) override { events.push_back(show ? "show" : "hide"); }
    void StatusText(const std::string& text) override { events.push_back("status:" + text); }
    void Progress(int, int, int, int) override {}
    bool DevTestMode() override { return false; }

    std::string OwnFolder() override { return "C:\\App\\"; }
    bool FileExists(const std::string& path) override { return files.count(path) > 0; }
    int64_t FileSize(const std::string& path) override
    {
        return files.count(path) ? static_cast<int64_t>(files[path].size()) : 0;
    }
    std::string ReadText(const std::string& path, int64_t maxLength) override
    {
        return files.count(path) ? files[path].substr(0, static_cast<size_t>(maxLength)) : "";
    }
    bool WriteText(const std::string& path, const std::string& data) override
    {
        files[path] = data;
        if (path == src_.FilePath(TSettingsFile::Info)) LoadInfo(data);
        return true;
    }
    bool CopyFileTo(const std::string& from, const std::string& to, std::string& error) override
    {
        if (files.count(to)) {
            error = "exists";
            return false;
        }
        files[to] = files[from];
        return true;
    }
    int folders = 0;
    std::string NewDownloadFolder() override
    {
        const std::string folder = "C:\\Temp\\AU_" + std::to_string(++folders) + "\\";
        events.push_back("mkdir:" + folder);
        return folder;
    }
    void RemoveDownloadFolder(const std::string& folder) override
    {
        events.push_back("rmdir:" + folder);
        for (auto it = files.begin(); it != files.end();)
            it = it->first.rfind(folder, 0) == 0 ? files.erase(it) : std::next(it);
    }
    std::string FileSHA256(const std::string&) override { return sha; }
    void HoldFile(const std::string& path) override { events.push_back("hold:" + path); }
    void ReleaseFile() override { events.push_back("release"); }
    std::string PackageToken(const std::string& path) override
    {
        const std::string f = files.count(path) ? files[path] : "";
        return f.rfind("PKG:", 0) == 0 ? f.substr(4) : "";
    }
    std::string UpdateLocation() override { return "http://srv/upd"; }
    std::string AgentFileName() override { return "agent.exe"; }
    std::string OwnToken() override { return ownToken; }
    std::string ownToken = ScrambleValue(kToken);
    // A signature here is "SIG:" + the data, made with the key "c0ffee".
    std::string key;
    std::string UpdateKey() override { return key; }
    bool VerifySignature(const std::string& keyHex, const std::string& data, const std::string& signature,
                         std::string& error) override
    {
        const bool valid = keyHex == "c0ffee" && signature == "SIG:" + data;
        if (!valid) error = "the signature does not match";
        return valid;
    }

    bool connected = true;
    bool aborted = false;
    bool InternetConnected() override { return connected; }
    bool InternetConnectedEx(std::string& error) override
    {
        if (!connected) error = "The system has no connection.";
        return connected;
    }
    int64_t HttpFileSize(const std::string& url) override
    {
        return http.count(url) ? static_cast<int64_t>(http[url].size()) : -1;
    }
    // A download that fails says so; nothing of it arrives.
    std::map<std::string, std::string> failures;
    void DownloadText(bool, const std::string& url, std::string& content, std::string& message) override
    {
        events.push_back("get:" + url);
        if (failures.count(url))
            message = failures[url];
        else if (http.count(url))
            content = http[url];
        else
            message = url + " --- 404";
    }
    void DownloadFile(bool, const std::string& url, const std::string& target, int64_t maxSize,
                      std::string& message) override
    {
        events.push_back("get:" + url);
        events.push_back("limit:" + std::to_string(maxSize));
        if (failures.count(url))
            message = failures[url];
        else if (!http.count(url))
            message = url + " --- 404";
        else if (static_cast<int64_t>(http[url].size()) > maxSize)
            message = url + " --- too large";
        else
            files[target] = http[url];
    }
    void SetDownloadAbort(bool) override {}
    bool DownloadAborted() override { return aborted; }
    std::string ExpandProductPath(const std::string& path, const std::string&, const std::string&,
                                  const std::string&) override
    {
        return path;
    }
    bool ProgramRunning(const std::string& path) override { return running.count(path) > 0; }
    void CloseProgram(const std::string& path) override
    {
        events.push_back("close:" + path);
        if (closeWorks) running.erase(path);
    }
    void QuitProgram(const std::string& path) override
    {
        events.push_back("quit:" + path);
        running.erase(path);
    }
    void TerminateProgram(const std::string& path) override
    {
        events.push_back("terminate:" + path);
        running.erase(path);
    }
    void WaitWhileRunning(const std::string& path) override { events.push_back("wait:" + path); }
    bool StartProgram(const std::string& path, const std::string& args, bool shown) override
    {
        events.push_back("start:" + path + "|" + args + "|" + (shown ? "shown" : "hidden"));
        return true;
    }
    bool RunSetup(const std::string& setupPath, bool foreground, const std::string& params) override
    {
        events.push_back("setup:" + setupPath + "|" + (foreground ? "fg" : "bg") + "|" + params);
        return setupSucceeds;
    }
    bool ShowInform(const std::string& title, const std::string& button, int, int, const std::string&, int height,
                    int width, const std::string& address, const std::string& body) override
    {
        events.push_back("inform:" + title + "|" + button + "|" + std::to_string(width) + "x" +
                         std::to_string(height) + "|" + address + "|" + body);
        return !body.empty() || !address.empty();
    }
    void DestroyMain() override { events.push_back("destroy"); }
    void PostQuit() override { events.push_back("quit"); }

private:
    // The INFO file as the agent reads it afterwards: the written text.
    void LoadInfo(const std::string& text)
    {
        src_.Clear(TSettingsFile::Info);
        std::string section;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '[' && line.back() == ']') section = line.substr(1, line.size() - 2);
            else if (const size_t eq = line.find('='); eq != std::string::npos && !section.empty())
                src_.WriteKey(TSettingsFile::Info, section, line.substr(0, eq), line.substr(eq + 1));
            at = end + 1;
        }
    }
    TMemorySettingsSource& src_;
};

struct Agent {
    TMemorySettingsSource src;
    TAgentSettings settings{src};
    TAgentState state;
    TFakeSystem sys{src};
    TAgent agent{sys, settings, state};

    Agent()
    {
        for (auto [k, v] : {std::pair{"VersionOriginal", "1"}, {"ProbeSecondsInterval", "0"}, {"Stamp", "1"},
                            {"ProgramName", "Tool"}})
            src.WriteKey(TSettingsFile::Original, "OriginalSetup", k, v);
        for (auto [k, v] : {std::pair{"s11", "Download PROG_NAME?"}, {"s12", " (no install question)"},
                            {"s15", "Close PROG_NAME."}, {"s16", "PROG_NAME updated."}, {"s17", " Restart?"},
                            {"s21", "Nothing new."}, {"s22", "Check PROG_NAME now?"}, {"s23", " Online."}})
            src.WriteKey(TSettingsFile::Original, "AutoUpdate", k, v);
        sys.http[kSetupUrl] = "PKG:" + ScrambleValue(kToken);
        sys.running.insert(kProduct);
        Offer({});
    }
    // The INFO file on the server: the offer of version 2 plus changes.
    void Offer(const std::map<std::string, std::string>& changes)
    {
        std::map<std::string, std::map<std::string, std::string>> ini;
        auto& n = ini["NewSetup"];
        n = {{"DownloadURL_UPDATE", "http://srv/files"}, {"NameOfUpdateFile", "new.exe"},
             {"SizeOfUpdateFile", std::to_string(sys.http[kSetupUrl].size())}, {"VersionNew", "2"},
             {"Stamp", "5"}, {"ProgramName", "Tool"}, {"ShutDownMethod", "Using WM_CLOSE"},
             {"RestartProcess", "1"}, {"RunningProcess", kProduct}};
        for (const auto& [k, v] : changes) {
            const size_t dot = k.find('.');
            if (dot == std::string::npos) n[k] = v;
            else ini[k.substr(0, dot)][k.substr(dot + 1)] = v;
        }
        std::string text;
        for (const auto& [s, keys] : ini) {
            text += "[" + s + "]\r\n";
            for (const auto& [k, v] : keys) text += k + "=" + v + "\r\n";
        }
        sys.http[kInfoUrl] = text;
    }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) AgentTick(agent);
    }
    std::string Orig(const char* key) { return src.ReadKey(TSettingsFile::Original, "OriginalSetup", key, ""); }
    std::vector<std::string> LogLines() { return sys.Only("log:"); }
    bool Logged(const std::string& line)
    {
        const auto l = LogLines();
        return std::find(l.begin(), l.end(), line) != l.end();
    }
};

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

TEST(AgentUpdateCycle, AFailedInfoDownloadIsNeverDecidedOn)
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

TEST(AgentUpdateCycle, OnlyASetupThisDownloadWroteWholeIsChecked)
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

TEST(AgentUpdateCycle, TheServerCannotNameTheAgentsOwnFiles)
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

TEST(AgentUpdateCycle, ShutDownAndRestartOfTheProduct)
{
    // Lower case names no method: only the wait; the product keeps running,
    // the setup runs all the same and nothing is started again.
    Agent lower;
    lower.Offer({{"ShutDownMethod", "using wm_close"}});
    lower.Ticks(4);
    EXPECT_FALSE(lower.sys.Saw("close:"));
    EXPECT_EQ(lower.sys.Only("wait:"), std::vector<std::string>{kProduct});
    EXPECT_TRUE(lower.sys.Saw("setup:"));
    EXPECT_TRUE(lower.sys.Saw("trace:FALSE TRUE >C:\\App\\tool.exe<"));
    EXPECT_FALSE(lower.sys.Saw(std::string("start:") + kProduct));

    // "Don't Shut Down": no wait either.
    Agent dont;
    dont.Offer({{"ShutDownMethod", "Don't Shut Down"}});
    dont.Ticks(4);
    EXPECT_FALSE(dont.sys.Saw("wait:"));

    // Not running at the start: never started, whatever RestartProcess says.
    Agent idle;
    idle.sys.running.clear();
    idle.Ticks(4);
    EXPECT_FALSE(idle.sys.Saw(std::string("start:") + kProduct));

    // A failed setup still restarts the stopped product, without a message.
    Agent failed;
    failed.sys.setupSucceeds = false;
    failed.Offer({{"InformFinish", "1"}, {"ShutDownMethod", "Using Terminate Process"}});
    failed.Ticks(4);
    EXPECT_TRUE(failed.sys.Saw(std::string("start:") + kProduct));
    EXPECT_FALSE(failed.sys.Saw("ask:"));
    EXPECT_FALSE(failed.sys.Saw("destroy")) << "no new agent after a failed update";
    EXPECT_EQ(failed.Orig("VersionOriginal"), "1");

    // InformFinish with a restart: one question (s16 + s17); No leaves the
    // product stopped.
    Agent asked;
    asked.Offer({{"InformFinish", "1"}, {"ShutDownMethod", "Using WM_QUIT"}});
    asked.sys.answers = {false};
    asked.Ticks(4);
    EXPECT_EQ(asked.sys.Only("ask:"), std::vector<std::string>{"1:Tool updated. Restart?"});
    EXPECT_FALSE(asked.sys.Saw(std::string("start:") + kProduct));

    // A product path that is not a full path is never started.
    Agent relative;
    relative.sys.running = {"tool.exe"};
    relative.Offer({{"RunningProcess", "tool.exe"}});
    relative.Ticks(4);
    EXPECT_TRUE(relative.sys.Saw("trace:TRUE TRUE >tool.exe<"));
    EXPECT_FALSE(relative.sys.Saw("start:tool.exe"));

    // "Issue a Message Box": again and again until the product is gone.
    Agent boxed;
    boxed.Offer({{"ShutDownMethod", "Issue a Message Box"}});
    int shown = 0;
    boxed.sys.onWarn = [&] {
        if (++shown == 3) boxed.sys.running.clear();
    };
    boxed.Ticks(4);
    EXPECT_EQ(boxed.sys.Only("warn:"), std::vector<std::string>(3, "0:Close tool.exe."));
    EXPECT_TRUE(boxed.sys.Saw(std::string("start:") + kProduct)) << "stopped by the user, started again";
}

TEST(AgentUpdateCycle, AStopRequestEndsTheMessageBoxShutDown)
{
    // The box comes back while the product runs, until the agent is asked
    // to stop: then no update, the product is left as it is.
    Agent a;
    a.Offer({{"ShutDownMethod", "Issue a Message Box"}});
    int shown = 0;
    a.sys.onWarn = [&] {
        EXPECT_TRUE(a.state.askingToCloseProduct);
        if (++shown == 2) RequestAgentStop(a.state, 0);
    };
    a.Ticks(4);
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(a.state.askingToCloseProduct);
    EXPECT_FALSE(a.sys.Saw("setup:"));
    EXPECT_FALSE(a.sys.Saw("start:"));
    EXPECT_TRUE(a.sys.running.count(kProduct));
    EXPECT_TRUE(a.Logged("ERROR: stop asked; the product runs; no update"));
    EXPECT_TRUE(a.Logged("PerformAutoUpdate() - END    Result=FALSE"));
    EXPECT_TRUE(a.sys.Saw("rmdir:C:\\Temp\\AU_1\\"));
    a.Ticks(1);
    EXPECT_TRUE(a.sys.Saw("quit")) << "and the agent ends on its next tick";

    // A stop request from before the update does not end the loop.
    Agent before;
    before.Offer({{"ShutDownMethod", "Issue a Message Box"}});
    RequestAgentStop(before.state, 50);
    shown = 0;
    before.sys.onWarn = [&] {
        if (++shown == 2) before.sys.running.clear();
    };
    before.Ticks(4);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(before.sys.Saw("setup:"));
}

TEST(AgentUpdateCycle, FailureBoxesOfAConfirmedDownload)
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

TEST(AgentUpdateCycle, AnAgentWithAKeyTakesOnlySignedOffers)
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

TEST(AgentUpdateCycle, AnAgentDueToEndDoesNotRestartItself)
{
    Agent a;
    a.state.stopCountdown = 50;
    a.Ticks(4);
    EXPECT_TRUE(a.sys.Saw("setup:"));
    EXPECT_FALSE(a.sys.Saw("start:C:\\App\\agent.exe"));
    EXPECT_FALSE(a.sys.Saw("destroy"));
    EXPECT_TRUE(a.Logged(".. ReStartAutoUpdateExe() - End"));
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

TEST(AgentUpdateCycle, HostileInfoFilesEndTheProbeOnly)
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

TEST(AgentUpdateCycle, NameOfUpdateFileCannotLeaveTheAgentsFolder)
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

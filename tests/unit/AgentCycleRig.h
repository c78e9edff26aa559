// The update cycle's test rig: a fake system that serves the INFO file, the
// new setup and the inform file, answers the boxes and records what the
// agent did, in order; and an agent over it with an offer of version 2.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>

#include "agent/AgentProtocol.h"
#include "agent/AgentRules.h"
#include "agent/AgentState.h"
#include "agent/AgentSystem.h"
#include "agent/AgentUpdateCycle.h"
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

}  // namespace

// The resident agent's update cycle. Every server, folder and file it reads
// is untrusted: downloads of texts are bounded in size and time, a new setup
// runs only after its digest (when the INFO file names one) and its identity
// token have passed, and the only other program ever started is the product
// that was running and was stopped for the update.
#include "agent/StubAUWin.h"

#include "agent/AgentCycle.h"
#include "agent/AgentHash.h"
#include "agent/AgentHost.h"
#include "agent/AgentProtocol.h"
#include "agent/AgentSettingsWin.h"
#include "agent/StubInformDlgWin.h"
#include "net/CommUtils.h"
#include "net/InetHTTP.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "text/Common.h"
#include "ui/LMsgBox.h"
#include "ui/LProgBar.h"

namespace {

TAgentHost gHost;
bool gTimerBusy = false;
bool gProbingEnabled = true;

std::string Pid() { return std::to_string(GetCurrentProcessId()); }
TAgentSettings& S() { return AgentSettings(); }
const TGFileInfo& Own() { return gHost.ownPackage(); }
void Log(const std::string& m)
{
    if (gHost.runLog) gHost.runLog(m);
}
void Notify(int code, int value)
{
    if (gHost.notify) gHost.notify(code, value);
}
HWND MainWnd() { return gHost.mainWindow ? gHost.mainWindow() : nullptr; }
void ShowMain(bool show)
{
    if (gHost.showMainWindow) gHost.showMainWindow(show);
}
void Progress(int kind, int min, int max, int position, int step)
{
    if (gHost.progress) gHost.progress(kind, min, max, position, step, "");
}
void Marker(const char* routine, int n) { Trace(Pid() + " ==== " + routine + "-" + std::to_string(n) + " ===="); }
bool Interactive() { return AgentState().agentMode == 1; }
bool TestMode() { return S().CheckTestMode(false); }

void ErrorBox(intptr_t owner, const std::string& text)
{
    MsgBoxError(owner, text, S().ErrorCaption(), S().BtnText(), S().CharSet());
}
void WarnBox(intptr_t owner, const std::string& text)
{
    MsgBoxAttention(owner, text, S().AttentionCaption(), S().BtnText(), S().CharSet(), 0);
}
bool Ask(intptr_t owner, const std::string& text)
{
    return MsgBoxConfirm(owner, text, S().ConfirmCaption(), S().BtnText(), S().CharSet(), 0);
}

// Starts a program without waiting for anything, least of all for it to
// become idle: the plain agent sits in its /WAIT= before it ever reads a
// message. The path is the application itself, never searched for.
bool StartDetached(const std::string& path, const std::string& args, int show)
{
    if (!IsAbsoluteProgramPath(path) || !FileExistsX(path)) {
        Trace(Pid() + " not started (no program at a full path): >" + path + "<");
        return false;
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION pi = {};
    std::string line = QuotedCommandLine(path, args);
    if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Trace(Pid() + " start failed: " + path + " " + SysErrorText());
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void ShowDownloadStatus(TAUKind kind)
{
    const char* key = kind == TAUKind::Info ? "s31" : kind == TAUKind::Update ? "s32" : "s33";
    if (gHost.setStatusText) gHost.setStatusText(S().AUText(key), S().FontName(), S().CharSet(), S().FontSize());
}

// The optional digest of the file the INFO file names for this kind.
std::string ExpectedSHA256(TAUKind kind)
{
    return kind == TAUKind::Update ? S().Text(TSettingsFile::Info, "NewSetup", "SHA256OfUpdateFile")
                                   : S().Text(TSettingsFile::Info, "AutoInform", "SHA256OfInformFile");
}

// A token must unscramble on both sides: the random text that stands in for
// one that does not could otherwise match by chance.
bool SameToken(const std::string& scrambledA, const std::string& plainB, bool bValid)
{
    std::string a;
    return bValid && UnscrambleValueChecked(scrambledA, a) && a == plainB;
}

// The downloaded file belongs to this product: its digest (when one is
// announced) and then its identity token. Empty message when it passes.
std::string CheckDownloaded(TAUKind kind, const std::string& target, const std::string& source)
{
    const std::string expected = Trim(ExpectedSHA256(kind));
    if (!expected.empty() && !SHA256Matches(expected, FileSHA256Hex(target)))
        return "The downloaded file does not match its SHA-256 checksum!<P><P>" + source;
    std::string own;
    const bool ownValid = UnscrambleValueChecked(Own().IdentityToken(false), own);
    bool same = false;
    if (kind == TAUKind::Update) {
        const TGFileInfo setup(target);
        same = SameToken(setup.IdentityToken(false), own, ownValid);
    } else {
        std::string text;
        ReadFilePart(target, kMaxAUTextFileSize, false, text);
        same = ownValid && SplitTokenText(text).first == own;
    }
    std::string message;
    if (!same) Make404Message(target, "", source, "Bad Secret Token!", false, message);
    return message;
}

// A text file (INFO or inform) into memory: refused when it grows beyond the
// cap or keeps trickling in past the time limit.
void DownloadText(HWND window, const std::string& url, std::string& content, std::string& message)
{
    bool refused = false;
    TProgBar* self = nullptr;
    const DWORD start = GetTickCount();
    TProgBar bar([&](int kind, int min, int max, int position, int step, const std::string& text) {
        if (gHost.progress) gHost.progress(kind, min, max, position, step, text);
        if (kind == 1 && (static_cast<int64_t>(content.size()) > kMaxAUTextFileSize ||
                          GetTickCount() - start > kMaxAUTextDownloadMs)) {
            refused = true;
            if (self) self->Cancelled = true;
        }
    });
    self = &bar;
    HTTP_DownloadFile(window, url, "", content, &bar, message);
    if (refused || static_cast<int64_t>(content.size()) > kMaxAUTextFileSize) {
        content.clear();
        if (message.empty()) message = url + " --- refused: too large or too slow";
    }
}

}  // namespace

void SetAgentHost(const TAgentHost& host) { gHost = host; }

bool DownloadFileAU(std::string base, std::string name, TAUKind kind, std::string& message)
{
    bool result = false;
    message.clear();
    std::string content, target;
    name = FileNamePart(name);
    const bool test = TestMode();
    if (test) base = S().TestModeURL();
    std::string source = base + "\\" + name;
    Trace(Pid() + " DownloadFileAU: " + source);
    Log("TestMode=" + BoolText(test));
    Log("Download START: " + source);
    const bool showWindow = kind == TAUKind::Update && S().RequestConfirmationBeforeDownload() && !Interactive();
    if (showWindow) ShowMain(true);
    ShowDownloadStatus(kind);
    const bool text = kind != TAUKind::Update;
    if (FileExistsX(source)) {
        if (text) {
            // One byte beyond the cap tells a file that is too large.
            ReadFilePart(source, kMaxAUTextFileSize + 1, false, content);
            if (static_cast<int64_t>(content.size()) > kMaxAUTextFileSize) {
                content.clear();
                message = source + " --- refused: too large";
            }
        } else if (FileSize64(source) > 0) {
            // The new setup is copied, not read into memory: it may be large.
            target = OwnFolder(true) + name;
            if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) message = source + " --- " + SysErrorText();
        }
        if (kind == TAUKind::Inform && !content.empty()) {
            target = OwnFolder(true) + name;
            if (!WriteDataFile(target, content, 0, false)) message = target + " --- not written";
        }
        if (showWindow) {
            Progress(0, 0, 10, 0, 1);
            for (int i = 0; i < 10; ++i) {
                Progress(1, 0, 0, 0, 0);
                WaitPumping(0, 300);
            }
            Progress(0, 0, 0, 0, 0);
        }
    } else if (!test && InternetConnected()) {
        WaitPumping(0, 500);
        source = base + "/" + name;
        SetDownloadAbort(false);
        HWND window = Interactive() ? MainWnd() : nullptr;
        if (text) {
            DownloadText(window, source, content, message);
            if (kind == TAUKind::Inform && message.empty() && !content.empty()) {
                target = OwnFolder(true) + name;
                if (!WriteDataFile(target, content, 0, false)) message = target + " --- not written";
            }
        } else {
            target = OwnFolder(true) + name;
            TProgBar bar([](int k, int mn, int mx, int p, int st, const std::string& t) {
                if (gHost.progress) gHost.progress(k, mn, mx, p, st, t);
            });
            HTTP_DownloadFile(window, source, target, content, &bar, message);
        }
        WaitPumping(0, 500);
    }
    if (showWindow) ShowMain(false);
    Log("Download END:   " + source);

    if (kind == TAUKind::Info) {
        if (message.empty() && !content.empty()) Make404Message("", content, source, "", false, message);
        result = message.empty() && !content.empty();
        WriteDataFile(S().InfoFilePath(), content, 0, false);
        return result;
    }
    if (message.empty()) {
        result = true;
        message = target.empty() ? "Bad Secret Token!" : CheckDownloaded(kind, target, source);
        if (!message.empty()) {
            result = false;
            if (!target.empty()) DeleteFileA(target.c_str());
            Log("ERROR: " + message);
            ErrorBox(0, message);
        }
    }
    if (!message.empty() && source.size() > 2 && S().RequestConfirmationBeforeDownload()) {
        const std::string key = DownloadFailureKey(DownloadAbortRequested(), source);
        message = S().AUText(key);
        if (key != "s3") message += "<P><P>" + source;
        Log("ATTENTION: " + message);
        WarnBox(0, message);
    }
    return result;
}

namespace {

bool CheckDownloadSize(void*)
{
    std::string base = S().DownloadURL_UPDATE();
    std::string name = S().NameOfUpdateFile();
    int64_t expected = S().SizeOfUpdateFile();
    if (S().AutoInform()) {
        name = S().NameOfInformFile();
        expected = S().SizeOfInformFile();
    }
    name = FileNamePart(name);
    const bool test = TestMode();
    if (test) base = S().TestModeURL();
    int64_t actual = -1;
    std::string location = base + "\\" + name;
    if (FileExistsX(location)) {
        actual = FileSize64(location);
    } else if (!test && InternetConnected()) {
        location = base + "/" + name;
        actual = HTTP_GetFileSize(location);
    }
    const bool ok = DownloadSizeMatches(actual, expected);
    if (!ok) {
        Log("  InfoSize=" + std::to_string(expected));
        Log("  HttpSize=" + std::to_string(actual));
        Log("  URL=" + location);
    }
    return ok;
}

}  // namespace

bool GetOkToPerformAU(bool fetched, int& code, std::string& text)
{
    TAUFacts f;
    f.infoFetched = fetched;
    if (fetched) {
        TAgentSettings& s = S();
        f.versionOriginal = s.VersionOriginal();
        f.versionNew = s.VersionNew();
        f.stampOriginal = s.StampOriginal();
        f.stampInfo = s.StampNew();
        f.now = s.NowSeconds();
        f.reAskLast = s.ReAskSecondsLast();
        f.reAskInterval = s.ReAskSecondsInterval();
        f.interactive = Interactive();
        f.validVersions = s.ValidVersions();
    }
    code = GetOkToPerformAUCode(f, &CheckDownloadSize, nullptr);
    text = AUCodeText(code);
    Trace(Pid() + " GetOkToPerformAU=" + std::to_string(code));
    Log("GetOkToPerformAU = " + std::to_string(code) + " - " + text);
    return code == 6;
}

bool JustDownloadInfoFile()
{
    std::string message;
    Notify(kListenerInfoDownload, kListenerBegin);
    const bool ok = DownloadFileAU(Own().UpdateLocation(), S().InfoFilePath(), TAUKind::Info, message);
    Notify(kListenerInfoDownload, kListenerEnd);
    return ok;
}

namespace {

struct TProductStop {
    std::string path;
    bool restart = false;
};

// By file name, as every road of the process services can tell (the
// tasklist road knows no folders). The stop methods act on the full path,
// so a program of the same name elsewhere is never stopped, keeps the state
// at "still running", and nothing is started again.
bool ProductRunning(const std::string& path) { return IsProgramRunning(path); }

TProductStop ShutDownProcess()
{
    TAgentSettings& s = S();
    SetInstallFolders(s.TargetDir(), s.SharedDir(), s.AuxiliaryDir());
    const std::string path = ExpandPlaceholders(s.RunningProcess(), "\\", true, true);
    const bool before = ProductRunning(path);
    const std::string methodText = s.ShutDownMethod();
    Log("Shut Down Process() - START  (" + path + ")  Method: " + methodText);
    const TShutDownMethod method = ShutDownMethodOf(methodText);
    if (method == TShutDownMethod::MessageBox) {
        const std::string text = WithProgName(s.AUText("s15"), FileNamePart(path));
        Trace("s1=" + text + "<");
        while (ProductRunning(path)) WarnBox(0, text);
    }
    Marker("PerformAutoUpdate", 8);
    if (method == TShutDownMethod::Close)
        CloseProgram(path, true, 0);
    else if (method == TShutDownMethod::Quit)
        QuitProgram(path, true);
    else if (method == TShutDownMethod::Terminate)
        TerminateProgram(path, true);
    if (method != TShutDownMethod::DontShutDown) WaitWhileRunning(path, 0);
    Marker("PerformAutoUpdate", 9);
    Log("Shut Down Process() - END");
    const int state = RunningStateAfter(before, ProductRunning(path));
    return {path, s.RestartProcess() && state == 2};
}

void FinishAndRestart(bool ran, const TProductStop& stop)
{
    TAgentSettings& s = S();
    const std::string text = WithProgName(s.AUText("s16"), s.ProgramNameNew());
    const std::string more = s.AUText("s17");
    bool answer = true;
    if (ran && (s.InformFinish() || Interactive())) {
        if (stop.restart)
            answer = Ask(1, text + more);
        else
            WarnBox(1, text);
    }
    Marker("PerformAutoUpdate", 12);
    Trace(BoolText(stop.restart) + " " + BoolText(answer) + " >" + stop.path + "<");
    if (stop.restart && answer) StartDetached(stop.path, "", SW_SHOWNORMAL);
}

}  // namespace

bool PerformAutoUpdate()
{
    TAgentSettings& s = S();
    TAgentState& st = AgentState();
    Log("PerformAutoUpdate() - START");
    bool ran = false;
    Marker("PerformAutoUpdate", 4);
    const std::string base = s.DownloadURL_UPDATE();
    const std::string name = s.NameOfUpdateFile();
    if (!base.empty() && !name.empty()) {
        Marker("PerformAutoUpdate", 5);
        const bool confirmInstall = s.RequestConfirmationBeforeInstall();
        const bool downloadForce = s.RequestConfirmationBeforeDownloadForce();
        const std::string program = s.ProgramNameNew();
        std::string text =
            WithProgName(s.AUText("s11") + s.AUText(DownloadQuestionSecondKey(confirmInstall, downloadForce)), program);
        bool go = true;
        if (s.RequestConfirmationBeforeDownload() && !Interactive()) {
            if (downloadForce)
                WarnBox(2, text);
            else
                go = Ask(0, text);
            WaitPumping(0, 500);
        }
        if (go) {
            Marker("PerformAutoUpdate", 6);
            st.agentPhase = 2;
            Notify(kListenerUpdateDownload, kListenerBegin);
            std::string message;
            go = DownloadFileAU(base, name, TAUKind::Update, message);
            Notify(kListenerUpdateDownload, kListenerEnd);
            const bool installForce = s.RequestConfirmationBeforeInstallForce();
            text = WithProgName(s.AUText(InstallQuestionKey(installForce)), program);
            if (go && confirmInstall && !Interactive()) {
                if (installForce)
                    WarnBox(2, text);
                else
                    go = Ask(0, text);
                WaitPumping(0, 100);
            }
            if (go) {
                Marker("PerformAutoUpdate", 7);
                const TProductStop stop = ShutDownProcess();
                // The file that was downloaded and checked, whatever folders
                // the INFO file's name may try to add.
                const std::string setupPath = OwnFolder(true) + FileNamePart(name);
                const std::string params = "/OriginalInfoFile=\"" + s.InfoFilePath() + "\"";
                st.agentPhase = 3;
                Notify(kListenerSetupRun, kListenerBegin);
                Marker("PerformAutoUpdate", 10);
                const std::string temp = gHost.setupTempFolder();
                ForceFolders(temp);
                ran = gHost.runPackageSetup(temp, setupPath, Own().AgentFileName(), !s.BackgroundUpdate(), params);
                DeleteTree(temp, true);
                Marker("PerformAutoUpdate", 11);
                Notify(kListenerSetupRun, kListenerEnd);
                if (ran) s.SetVersionOriginal(s.VersionNew());
                DeleteFileA(setupPath.c_str());
                FinishAndRestart(ran, stop);
            }
        }
    }
    Marker("PerformAutoUpdate", 13);
    Log("PerformAutoUpdate() - END    Result=" + BoolText(ran));
    return ran;
}

void ReStartAutoUpdateExe()
{
    Log(".. ReStartAutoUpdateExe() - Start");
    if (!(AgentState().stopCountdown > 0)) {
        const std::string path = OwnFolder(true) + Own().AgentFileName();
        const std::string args = AgentRestartArgs(S().OverridesToList());
        Log(".. WinExec - " + path + " " + args);
        StartDetached(path, args, SW_HIDE);
        WaitPumping(0, 1000);
        Log(".. PostMessage(WM_DESTROY)");
        PostMessageA(MainWnd(), WM_DESTROY, 0, 0);
    }
    Log(".. ReStartAutoUpdateExe() - End");
}

bool PerformAutoInform()
{
    TAgentSettings& s = S();
    Log("PerformAutoInform() - START ");
    Marker("PerformAutoInform", 1);
    bool shown = false;
    const std::string base = s.DownloadURL_UPDATE();
    const std::string name = s.NameOfInformFile();
    if (!base.empty() && !name.empty()) {
        Marker("PerformAutoInform", 2);
        AgentState().agentPhase = 2;
        Notify(kListenerUpdateDownload, kListenerBegin);
        std::string message;
        const bool ok = DownloadFileAU(base, name, TAUKind::Inform, message);
        Notify(kListenerUpdateDownload, kListenerEnd);
        if (ok) {
            Marker("PerformAutoInform", 3);
            std::string text;
            ReadFilePart(OwnFolder(true) + FileNamePart(name), kMaxAUTextFileSize, false, text);
            const std::string body = SplitTokenText(text).second;
            shown = ShowInform(MainWnd(), s.AUText("s34"), s.AUText("s35"), s.CharSet(), s.FontSize(), s.FontName(),
                               static_cast<int>(s.AutoInformH()), static_cast<int>(s.AutoInformW()),
                               s.DownloadURL_INFORM(), body);
            if (shown) s.SetVersionOriginal(s.VersionNew());
            Marker("PerformAutoInform", 4);
        }
    }
    Log(std::string("PerformAutoInform() - END ") + BoolText(shown));
    return shown;
}

namespace {

bool AskCheckNow()
{
    const bool test = S().CheckTestMode(true);
    const std::string base = test ? S().TestModeURL() : Own().UpdateLocation();
    const std::string text = CheckNowText(S().AUText("s22"), S().AUText("s23"), S().AUText("s24"), base, test,
                                          S().ProgramNameOriginal());
    return Ask(1, text);
}

}  // namespace

void PerformShot(HWND)
{
    TAgentSettings& s = S();
    TAgentState& st = AgentState();
    Trace(Pid() + " Fire  " + ReadableSeconds(s.NowSeconds()));
    const bool test = s.CheckTestMode(true);
    bool performed = false;
    st.agentPhase = 1;
    Notify(kListenerInfoDownload, kListenerBegin);
    std::string message;
    const bool ok = DownloadFileAU(Own().UpdateLocation(), s.InfoFilePath(), TAUKind::Info, message);
    Notify(kListenerInfoDownload, kListenerEnd);
    s.SetProbeSecondsLast(s.NowSeconds());
    int code = 0;
    std::string text;
    if (GetOkToPerformAU(ok, code, text)) {
        Trace(Pid() + " ==== PerformShot-1 ====");
        performed = true;
        s.SetReAskSecondsLast(s.NowSeconds());
        s.SetStamp(s.StampNew());
        if (s.AutoInform())
            PerformAutoInform();
        else if (PerformAutoUpdate())
            ReStartAutoUpdateExe();
        Trace(Pid() + " ==== PerformShot-2 ====");
    }
    if (!Interactive()) return;
    WaitPumping(0, 1000);
    ShowMain(false);
    if (performed) return;
    Trace(Pid() + " TestMode=" + BoolText(test) + " InternetConnected=" + BoolText(InternetConnected()));
    std::string connectionError;
    if (!test && !InternetConnectedEx(connectionError)) {
        std::string t = s.AUText("s2");
        if (!connectionError.empty()) t += "<P><P>" + connectionError;
        ErrorBox(0, t);
    } else if (!test && !message.empty()) {
        ErrorBox(0, message);
    } else {
        std::string t = s.AUText("s21");
        if (DevTestMode()) t += "<P><P>(" + std::to_string(code) + " - " + text + ")   ";
        WarnBox(1, t);
    }
}

void AgentTimerStep(HWND wnd)
{
    if (gTimerBusy) return;
    gTimerBusy = true;
    TAgentState& st = AgentState();
    if (st.justDownloadInfoFileRequested) {
        Trace("-------------- JustDownloadInfoFile ---------------");
        st.justDownloadInfoFileRequested = false;
        JustDownloadInfoFile();
    } else {
        TAgentSettings& s = S();
        SetMsgBoxFont(s.FontName(), s.FontSize(), s.CharSet());
        st.agentPhase = 0;
        if (st.agentMode == 2) st.agentMode = 1;
        if (st.agentMode == 1) st.autoUpdateTimerCount = 0;
        if (AgentStopCountdownTick(st)) PostQuitMessage(0);
        ++st.autoUpdateTimerCount;
        Trace(Pid() + " AutoUpdateTimerCount=" + std::to_string(st.autoUpdateTimerCount));
        if (st.autoUpdateTimerCount > 0) {
            const bool test = s.CheckTestMode(false);
            int status = ShotTimeStatus(gProbingEnabled, st.probeNowRequested, test, s.ProbeSecondsInterval(),
                                        s.ProbeSecondsLast(), s.NowSeconds());
            Trace(Pid() + " ShotTimeStatus=" + std::to_string(status));
            if (status == 2) gProbingEnabled = false;
            if (status > 0 && (st.agentMode == 1 || s.OverrideAskBeforeCheck()) && !AskCheckNow()) status = 0;
            if (status > 0) PerformShot(wnd);
            if (st.agentMode == 1) st.agentMode = 0;
        }
    }
    st.agentPhase = 0;
    gTimerBusy = false;
}

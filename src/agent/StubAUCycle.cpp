// The resident agent's update cycle. Every server, folder and file it reads
// is untrusted: texts are bounded in size and time, only a download that
// arrived whole with a success status is decided on or checked, what the
// server sends lands in a new folder of its own (never over a file the
// download did not create), a new setup runs only after its digest (when
// the INFO file names one) and its identity token have passed, and the
// only other program ever started is the product that was running and was
// stopped for the update.
#include "agent/StubAUCycle.h"

#include <iterator>

#include "agent/AgentProtocol.h"
#include "agent/StubInformDlg.h"
#include "net/CommUtils.h"
#include "package/PackX.h"
#include "sys/IniText.h"
#include "sys/Utils.h"

std::string TAUCycle::Pid() { return IntText(sys_.ProcessId()); }

void TAUCycle::Marker(const char* routine, int n)
{
    sys_.Trace(Cat({Pid(), " ==== ", routine, "-", IntText(n), " ===="}));
}

void TAUCycle::TimerStep()
{
    if (timerBusy_) return;
    timerBusy_ = true;
    if (st_.justDownloadInfoFileRequested) {
        sys_.Trace("-------------- JustDownloadInfoFile ---------------");
        st_.justDownloadInfoFileRequested = false;
        JustDownloadInfoFile();
    } else {
        sys_.SetBoxFont(s_.FontName(), s_.FontSize(), s_.CharSet());
        st_.agentPhase = kPhaseIdle;
        if (st_.agentMode == kModeCheckAsked) st_.agentMode = kModeCheckUnderWay;
        if (st_.agentMode == kModeCheckUnderWay) st_.autoUpdateTimerCount = 0;
        if (AgentStopCountdownTick(st_)) sys_.PostQuit();
        ++st_.autoUpdateTimerCount;
        sys_.Trace(Cat({Pid(), " AutoUpdateTimerCount=", IntText(st_.autoUpdateTimerCount)}));
        if (st_.autoUpdateTimerCount > 0) {
            const bool test = s_.CheckTestMode(false);
            int status = ShotTimeStatus(probingEnabled, st_.probeNowRequested, test, s_.ProbeSecondsInterval(),
                                        s_.ProbeSecondsLast(), s_.NowSeconds());
            sys_.Trace(Cat({Pid(), " ShotTimeStatus=", IntText(status)}));
            if (status == kShotOnlyOne) probingEnabled = false;
            if (status != kShotNotDue && (Interactive() || s_.OverrideAskBeforeCheck()) && !AskCheckNow())
                status = kShotNotDue;
            if (status != kShotNotDue) PerformShot();
            if (st_.agentMode == kModeCheckUnderWay) st_.agentMode = kModeAutomatic;
        }
    }
    st_.agentPhase = kPhaseIdle;
    timerBusy_ = false;
}

bool TAUCycle::AskCheckNow()
{
    const bool test = s_.CheckTestMode(true);
    const std::string base = test ? s_.TestModeURL() : sys_.UpdateLocation();
    return sys_.Ask(1, CheckNowText(s_.AUText("s22"), s_.AUText("s23"), s_.AUText("s24"), base, test,
                                    s_.ProgramNameOriginal()));
}

void TAUCycle::PerformShot()
{
    sys_.Trace(Cat({Pid(), " Fire  ", ReadableSeconds(s_.NowSeconds())}));
    const bool test = s_.CheckTestMode(true);
    bool performed = false;
    st_.agentPhase = kPhaseInfoFile;
    sys_.Notify(kListenerInfoDownload, kListenerBegin);
    std::string message;
    const bool ok = DownloadFileAU(sys_.UpdateLocation(), s_.InfoFilePath(), TAUKind::Info, message);
    sys_.Notify(kListenerInfoDownload, kListenerEnd);
    s_.SetProbeSecondsLast(s_.NowSeconds());
    int code = 0;
    std::string text;
    if (GetOkToPerformAU(ok, code, text)) {
        sys_.Trace(Pid() + " ==== PerformShot-1 ====");
        performed = true;
        s_.SetReAskSecondsLast(s_.NowSeconds());
        s_.SetStamp(s_.StampNew());
        if (s_.AutoInform())
            PerformAutoInform();
        else if (PerformAutoUpdate())
            ReStartAutoUpdateExe();
        sys_.Trace(Pid() + " ==== PerformShot-2 ====");
    }
    if (!Interactive()) return;
    sys_.Wait(1000);
    sys_.ShowMain(false);
    if (performed) return;
    sys_.Trace(Cat({Pid(), " TestMode=", BoolText(test), " InternetConnected=", BoolText(sys_.InternetConnected())}));
    std::string connectionError;
    if (!test && !sys_.InternetConnectedEx(connectionError)) {
        std::string t = s_.AUText("s2");
        if (!connectionError.empty()) t += "<P><P>" + connectionError;
        sys_.ErrorBox(0, t);
    } else if (!test && !message.empty()) {
        sys_.ErrorBox(0, message);
    } else {
        std::string t = s_.AUText("s21");
        if (sys_.DevTestMode()) t += "<P><P>(" + IntText(code) + " - " + text + ")   ";
        sys_.WarnBox(1, t);
    }
}

// A token must unscramble on both sides: the random text that stands in for
// one that does not could otherwise match by chance.
std::string TAUCycle::ExpectedDigest(TAUKind kind)
{
    return Trim(kind == TAUKind::Update ? s_.Text(TSettingsFile::Info, "NewSetup", "SHA256OfUpdateFile")
                                        : s_.Text(TSettingsFile::Info, "AutoInform", "SHA256OfInformFile"));
}

// With an update key in the agent, an INFO file counts only when the key
// signed its exact bytes (the signature lies beside it under its name plus
// ".sig") and its Expires day has not passed; "" when it counts.
std::string TAUCycle::SignedInfoRefusal(const std::string& base, const std::string& name, bool test,
                                        const std::string& content)
{
    const std::string key = sys_.UpdateKey();
    if (key.empty()) return "";
    std::string source, signature, message;
    const bool fetched = Fetch(TAUKind::Info, base, name + ".sig", test, false, source, signature, message);
    if (message.empty() && (!fetched || signature.empty())) message = "no signature";
    std::string error;
    if (message.empty() && !sys_.VerifySignature(key, content, signature, error)) message = error;
    if (!message.empty()) return Cat({name, " --- refused: not signed by the update key (", message, ")"});
    if (FeedExpired(IniGetValue(content, "NewSetup", "Expires", ""), s_.NowSeconds() / 86400))
        return name + " --- refused: expired";
    return "";
}

std::string TAUCycle::CheckDownloaded(TAUKind kind, const std::string& target, const std::string& source)
{
    const std::string expected = ExpectedDigest(kind);
    if (!expected.empty() && !SHA256Matches(expected, sys_.FileSHA256(target)))
        return "The downloaded file does not match its SHA-256 checksum!<P><P>" + source;
    std::string own, theirs;
    bool same = UnscrambleValueChecked(sys_.OwnToken(), own);
    if (kind == TAUKind::Update)
        same = same && UnscrambleValueChecked(sys_.PackageToken(target), theirs) && theirs == own;
    else
        same = same && SplitTokenText(sys_.ReadText(target, kMaxAUTextFileSize)).first == own;
    std::string message;
    if (!same) Make404Message(target, "", source, "Bad Secret Token!", false, message);
    return message;
}

// The new file of this download, in a folder of its own: `downloaded_`.
bool TAUCycle::PlaceDownload(const std::string& name, std::string& message)
{
    downloadFolder_ = sys_.NewDownloadFolder();
    if (downloadFolder_.empty()) {
        message = name + " --- no download folder";
        return false;
    }
    downloaded_ = downloadFolder_ + name;
    return true;
}

void TAUCycle::DiscardDownload()
{
    if (downloadFolder_.empty()) return;
    sys_.ReleaseFile();
    sys_.RemoveDownloadFolder(downloadFolder_);
    downloadFolder_.clear();
    downloaded_.clear();
}

// Fetches base\name from a folder, else base/name over HTTP (never in
// test mode); `source` ends as the place it came from. False when neither
// could be tried. A text lands in `content`, the new setup in a new file
// (downloaded_); a text is read with one byte beyond its cap, which tells
// a file that is too large.
bool TAUCycle::Fetch(TAUKind kind, const std::string& base, const std::string& name, bool test, bool showWindow,
                     std::string& source, std::string& content, std::string& message)
{
    const bool text = kind != TAUKind::Update;
    const int64_t limit = text ? kMaxAUTextFileSize : UpdateDownloadLimit(s_.SizeOfUpdateFile());
    source = Cat({base, "\\", name});
    if (sys_.FileExists(source)) {
        if (text) content = sys_.ReadText(source, limit + 1);
        std::string error;
        if ((text ? static_cast<int64_t>(content.size()) : sys_.FileSize(source)) > limit) {
            content.clear();
            message = source + " --- refused: too large";
        } else if (!text && PlaceDownload(name, message) && !sys_.CopyFileTo(source, downloaded_, error)) {
            message = Cat({source, " --- ", error});
        }
        if (showWindow) {
            sys_.Progress(0, 10, 0, 1);
            for (int i = 0; i < 10; ++i) {
                sys_.Progress(1, 0, 0, 0);
                sys_.Wait(300);
            }
            sys_.Progress(0, 0, 0, 0);
        }
        return true;
    }
    if (test || !sys_.InternetConnected()) return false;
    sys_.Wait(500);
    source = Cat({base, "/", name});
    sys_.SetDownloadAbort(false);
    if (text)
        sys_.DownloadText(Interactive(), source, content, message);
    else if (PlaceDownload(name, message))
        sys_.DownloadFile(Interactive(), source, downloaded_, limit, message);
    sys_.Wait(500);
    return true;
}

bool TAUCycle::DownloadFileAU(std::string base, std::string name, TAUKind kind, std::string& message)
{
    message.clear();
    DiscardDownload();
    const uint32_t stops = st_.stopRequests;
    std::string content;
    name = FileNamePart(name);
    const bool test = s_.CheckTestMode(false);
    if (test) base = s_.TestModeURL();
    std::string source = Cat({base, "\\", name});
    sys_.Trace(Cat({Pid(), " DownloadFileAU: ", source}));
    sys_.RunLog("TestMode=" + BoolText(test));
    sys_.RunLog("Download START: " + source);
    const bool showWindow = kind == TAUKind::Update && s_.RequestConfirmationBeforeDownload() && !Interactive();
    if (showWindow) sys_.ShowMain(true);
    sys_.StatusText(s_.AUText(kind == TAUKind::Info ? "s31" : kind == TAUKind::Update ? "s32" : "s33"));
    // The agent's own files beside it: a server that names one of them
    // gets nothing from us, whatever folder the download would land in.
    bool attempted = false;
    if (kind != TAUKind::Info)
        message = DownloadNameRefusal(name, s_.OriginalFilePath(), s_.InfoFilePath(), sys_.AgentFileName());
    // A signed offer pins what it offers: without the digest nothing is fetched.
    if (kind != TAUKind::Info && message.empty() && !sys_.UpdateKey().empty() && ExpectedDigest(kind).empty())
        message = "refused: a signed offer without its SHA-256";
    if (!message.empty())
        message = Cat({source, " --- ", message});
    else
        attempted = Fetch(kind, base, name, test, showWindow, source, content, message);
    if (showWindow) sys_.ShowMain(false);
    sys_.RunLog("Download END:   " + source);

    if (kind == TAUKind::Info) {
        // Only an INFO file that arrived whole replaces the one on disk: a
        // failed or cut-short answer is never decided on, and its keys'
        // defaults must not stand in for what the author wrote.
        if (message.empty() && !content.empty()) message = SignedInfoRefusal(base, name, test, content);
        if (message.empty() && !content.empty()) {
            sys_.WriteText(s_.InfoFilePath(), content);
            Make404Message("", content, source, "", false, message);
        }
        if (!message.empty()) sys_.RunLog("ERROR: " + message);
        return message.empty() && !content.empty();
    }
    if (message.empty() && kind == TAUKind::Inform && !content.empty() && PlaceDownload(name, message) &&
        !sys_.WriteText(downloaded_, content))
        message = downloaded_ + " --- not written";
    // Only what arrived whole is checked; with neither a folder nor a
    // connection nothing arrived, which is told as for another product's
    // file. A failed download is not checked, and nothing of it is kept.
    const bool checked = message.empty();
    if (checked) {
        if (kind == TAUKind::Update && attempted) sys_.HoldFile(downloaded_);
        message = attempted ? CheckDownloaded(kind, downloaded_, source) : std::string("Bad Secret Token!");
    }
    if (!message.empty()) {
        DiscardDownload();
        sys_.RunLog("ERROR: " + message);
        if (checked) sys_.ErrorBox(0, message);
    }
    if (!message.empty() && source.size() > 2 && s_.RequestConfirmationBeforeDownload()) {
        const char* key = DownloadFailureKey(sys_.DownloadAborted(), source);
        message = s_.AUText(key);
        if (key[1] != '3') message += "<P><P>" + source;
        sys_.RunLog("ATTENTION: " + message);
        // An agent asked to stop meanwhile waits for nobody.
        if (st_.stopRequests == stops) sys_.WarnBox(0, message);
    }
    return message.empty();
}

bool TAUCycle::CheckDownloadSize()
{
    std::string base = s_.DownloadURL_UPDATE();
    std::string name = s_.NameOfUpdateFile();
    int64_t expected = s_.SizeOfUpdateFile();
    if (s_.AutoInform()) {
        name = s_.NameOfInformFile();
        expected = s_.SizeOfInformFile();
    }
    name = FileNamePart(name);
    const bool test = s_.CheckTestMode(false);
    if (test) base = s_.TestModeURL();
    int64_t actual = -1;
    std::string location = Cat({base, "\\", name});
    if (sys_.FileExists(location)) {
        actual = sys_.FileSize(location);
    } else if (!test && sys_.InternetConnected()) {
        location = Cat({base, "/", name});
        actual = sys_.HttpFileSize(location);
    }
    const bool ok = DownloadSizeMatches(actual, expected);
    if (!ok) {
        sys_.RunLog("  InfoSize=" + IntText(expected));
        sys_.RunLog("  HttpSize=" + IntText(actual));
        sys_.RunLog("  URL=" + location);
    }
    return ok;
}

bool TAUCycle::GetOkToPerformAU(bool fetched, int& code, std::string& text)
{
    TAUFacts f;
    f.infoFetched = fetched;
    if (fetched) {
        f.versionOriginal = s_.VersionOriginal();
        f.versionNew = s_.VersionNew();
        f.stampOriginal = s_.StampOriginal();
        f.stampInfo = s_.StampNew();
        f.now = s_.NowSeconds();
        f.reAskLast = s_.ReAskSecondsLast();
        f.reAskInterval = s_.ReAskSecondsInterval();
        f.interactive = Interactive();
        f.validVersions = s_.ValidVersions();
    }
    code = GetOkToPerformAUCode(
        f, [](void* self) { return static_cast<TAUCycle*>(self)->CheckDownloadSize(); }, this);
    text = AUCodeText(code);
    sys_.Trace(Cat({Pid(), " GetOkToPerformAU=", IntText(code)}));
    sys_.RunLog(Cat({"GetOkToPerformAU = ", IntText(code), " - ", text}));
    return code == kAUCodeOK;
}

bool TAUCycle::JustDownloadInfoFile()
{
    std::string message;
    sys_.Notify(kListenerInfoDownload, kListenerBegin);
    const bool ok = DownloadFileAU(sys_.UpdateLocation(), s_.InfoFilePath(), TAUKind::Info, message);
    sys_.Notify(kListenerInfoDownload, kListenerEnd);
    return ok;
}

TAUCycle::TProductStop TAUCycle::ShutDownProcess()
{
    const std::string path = sys_.ExpandProductPath(s_.RunningProcess(), s_.TargetDir(), s_.SharedDir(),
                                                    s_.AuxiliaryDir());
    const bool before = sys_.ProgramRunning(path);
    const std::string methodText = s_.ShutDownMethod();
    sys_.RunLog(Cat({"Shut Down Process() - START  (", path, ")  Method: ", methodText}));
    const TShutDownMethod method = ShutDownMethodOf(methodText);
    bool stopRequested = false;
    if (method == TShutDownMethod::IssueMessageBox) {
        const std::string text = WithProgName(s_.AUText("s15"), FileNamePart(path));
        sys_.Trace(Cat({"s1=", text, "<"}));
        // As long as the product runs, unless the agent is asked to stop
        // meanwhile: that request also closes the box on screen.
        const uint32_t stops = st_.stopRequests;
        st_.askingToCloseProduct = true;
        while (st_.stopRequests == stops && sys_.ProgramRunning(path)) sys_.WarnBox(0, text);
        st_.askingToCloseProduct = false;
        stopRequested = st_.stopRequests != stops;
    }
    Marker("PerformAutoUpdate", 8);
    if (stopRequested)
        sys_.RunLog("ERROR: stop asked; the product runs; no update");
    else if (method == TShutDownMethod::Close)
        sys_.CloseProgram(path);
    else if (method == TShutDownMethod::Quit)
        sys_.QuitProgram(path);
    else if (method == TShutDownMethod::Terminate)
        sys_.TerminateProgram(path);
    if (method != TShutDownMethod::DontShutDown && !stopRequested) sys_.WaitWhileRunning(path);
    Marker("PerformAutoUpdate", 9);
    sys_.RunLog("Shut Down Process() - END");
    // By file name, as every road of the process services can tell. The stop
    // methods act on the full path, so a program of the same name elsewhere
    // is never stopped, the state stays "still running", and nothing is
    // started again.
    const int state = RunningStateAfter(before, sys_.ProgramRunning(path));
    return {path, s_.RestartProcess() && state == 2, stopRequested};
}

void TAUCycle::FinishAndRestart(bool ran, const TProductStop& stop)
{
    const std::string text = WithProgName(s_.AUText("s16"), s_.ProgramNameNew());
    const std::string more = s_.AUText("s17");
    bool answer = true;
    if (ran && (s_.InformFinish() || Interactive())) {
        if (stop.restart)
            answer = sys_.Ask(1, text + more);
        else
            sys_.WarnBox(1, text);
    }
    Marker("PerformAutoUpdate", 12);
    sys_.Trace(Cat({BoolText(stop.restart), " ", BoolText(answer), " >", stop.path, "<"}));
    if (stop.restart && answer && IsAbsoluteProgramPath(stop.path)) sys_.StartProgram(stop.path, "", true);
}

// The download of what the offer names (the new setup or the inform
// file), with its listener notices around it.
bool TAUCycle::DownloadOffered(const std::string& base, const std::string& name, TAUKind kind)
{
    st_.agentPhase = kPhaseDownload;
    sys_.Notify(kListenerUpdateDownload, kListenerBegin);
    std::string message;
    const bool ok = DownloadFileAU(base, name, kind, message);
    sys_.Notify(kListenerUpdateDownload, kListenerEnd);
    return ok;
}

// A question before a step (owner mode 0), or with the Force form a
// notice that only tells (owner mode 2, no Close); never in a user's check.
// False when the user said No.
bool TAUCycle::Confirm(bool asked, bool force, const std::string& text, uint32_t pauseMs)
{
    if (!asked || Interactive()) return true;
    bool go = true;
    if (force)
        sys_.WarnBox(2, text);
    else
        go = sys_.Ask(0, text);
    sys_.Wait(pauseMs);
    return go;
}

bool TAUCycle::RunNewSetup()
{
    // The file that this download wrote and that was checked.
    const std::string params = Cat({"/OriginalInfoFile=\"", s_.InfoFilePath(), "\""});
    st_.agentPhase = kPhaseSetupRun;
    sys_.Notify(kListenerSetupRun, kListenerBegin);
    Marker("PerformAutoUpdate", 10);
    const bool ran = sys_.RunSetup(downloaded_, sys_.AgentFileName(), !s_.BackgroundUpdate(), params);
    Marker("PerformAutoUpdate", 11);
    sys_.Notify(kListenerSetupRun, kListenerEnd);
    if (ran) s_.SetVersionOriginal(s_.VersionNew());
    DiscardDownload();
    return ran;
}

// The steps between the markers 4 and 13, each ending the update when it
// fails: an offer, the download question, the download and its checks,
// the install question, the product's shut-down, the setup run, and the
// finish with the product's restart.
bool TAUCycle::UpdateSteps()
{
    const std::string base = s_.DownloadURL_UPDATE();
    const std::string name = s_.NameOfUpdateFile();
    if (base.empty() || name.empty()) return false;

    Marker("PerformAutoUpdate", 5);
    const bool confirmInstall = s_.RequestConfirmationBeforeInstall();
    const bool downloadForce = s_.RequestConfirmationBeforeDownloadForce();
    const std::string program = s_.ProgramNameNew();
    const std::string downloadQuestion = WithProgName(
        s_.AUText("s11") + s_.AUText(DownloadQuestionSecondKey(confirmInstall, downloadForce)), program);
    if (!Confirm(s_.RequestConfirmationBeforeDownload(), downloadForce, downloadQuestion, 500)) return false;

    Marker("PerformAutoUpdate", 6);
    const bool downloaded = DownloadOffered(base, name, TAUKind::Update);
    const bool installForce = s_.RequestConfirmationBeforeInstallForce();
    const std::string installQuestion = WithProgName(s_.AUText(InstallQuestionKey(installForce)), program);
    if (!downloaded || !Confirm(confirmInstall, installForce, installQuestion, 100)) return false;

    Marker("PerformAutoUpdate", 7);
    const TProductStop stop = ShutDownProcess();
    if (stop.stopRequested) return false;
    const bool ran = RunNewSetup();
    FinishAndRestart(ran, stop);
    return ran;
}

bool TAUCycle::PerformAutoUpdate()
{
    sys_.RunLog("PerformAutoUpdate() - START");
    Marker("PerformAutoUpdate", 4);
    const bool ran = UpdateSteps();
    DiscardDownload();
    Marker("PerformAutoUpdate", 13);
    sys_.RunLog("PerformAutoUpdate() - END    Result=" + BoolText(ran));
    return ran;
}

void TAUCycle::ReStartAutoUpdateExe()
{
    sys_.RunLog(".. ReStartAutoUpdateExe() - Start");
    if (!(st_.stopCountdown > 0)) {
        const std::string path = sys_.OwnFolder() + sys_.AgentFileName();
        const std::string args = AgentRestartArgs(s_.OverridesToList());
        sys_.RunLog(Cat({".. WinExec - ", path, " ", args}));
        sys_.StartProgram(path, args, false);
        sys_.Wait(1000);
        sys_.RunLog(".. PostMessage(WM_DESTROY)");
        sys_.DestroyMain();
    }
    sys_.RunLog(".. ReStartAutoUpdateExe() - End");
}

bool TAUCycle::PerformAutoInform()
{
    sys_.RunLog("PerformAutoInform() - START ");
    Marker("PerformAutoInform", 1);
    bool shown = false;
    const std::string base = s_.DownloadURL_UPDATE();
    const std::string name = s_.NameOfInformFile();
    if (!base.empty() && !name.empty()) {
        Marker("PerformAutoInform", 2);
        if (DownloadOffered(base, name, TAUKind::Inform)) {
            Marker("PerformAutoInform", 3);
            const std::string text = sys_.ReadText(downloaded_, kMaxAUTextFileSize);
            shown = sys_.ShowInform(s_.AUText("s34"), s_.AUText("s35"), s_.CharSet(), s_.FontSize(), s_.FontName(),
                                    InformSize(s_.AutoInformH()), InformSize(s_.AutoInformW()),
                                    s_.DownloadURL_INFORM(), SplitTokenText(text).second);
            if (shown) s_.SetVersionOriginal(s_.VersionNew());
            Marker("PerformAutoInform", 4);
        }
        DiscardDownload();
    }
    sys_.RunLog(std::string("PerformAutoInform() - END ") + BoolText(shown));
    return shown;
}

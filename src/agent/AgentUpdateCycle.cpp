// The resident agent's update cycle: the tick, the probe and its decision,
// the update with its questions, the notice. The downloads are
// AgentDownload, the product's shut-down and the restarts AgentShutDown.
#include "agent/AgentUpdateCycle.h"

#include "agent/AgentDownload.h"
#include "agent/AgentNotice.h"
#include "agent/AgentProtocol.h"
#include "agent/AgentRules.h"
#include "agent/AgentSettings.h"
#include "agent/AgentShutDown.h"
#include "agent/AgentState.h"
#include "agent/AgentSystem.h"
#include "net/CommUtils.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/Utils.h"
#include "ui/LMsgBoxButtons.h"

namespace {

bool AskCheckNow(TAgent& a)
{
    const bool test = a.s.CheckTestMode(true);
    const std::string base = test ? a.s.TestModeURL() : a.sys.UpdateLocation();
    return a.sys.Ask(kOwnerPlain, CheckNowText(a.s.AUText("s22"), a.s.AUText("s23"), a.s.AUText("s24"), base,
                                               test, a.s.ProgramNameOriginal()));
}

bool CheckDownloadSize(TAgent& a)
{
    std::string base = a.s.DownloadURL_UPDATE();
    std::string name = a.s.NameOfUpdateFile();
    int64_t expected = a.s.SizeOfUpdateFile();
    if (a.s.AutoInform()) {
        name = a.s.NameOfInformFile();
        expected = a.s.SizeOfInformFile();
    }
    name = NamePart(name);
    const bool test = a.s.CheckTestMode(false);
    if (test) base = a.s.TestModeURL();
    int64_t actual = -1;
    std::string location = Cat({base, "\\", name});
    if (a.sys.FileExists(location)) {
        actual = a.sys.FileSize(location);
    } else if (!test && a.sys.InternetConnected()) {
        location = Cat({base, "/", name});
        actual = a.sys.HttpFileSize(location);
    }
    const bool ok = DownloadSizeMatches(actual, expected);
    if (!ok) {
        a.sys.RunLog("  InfoSize=" + IntText(expected));
        a.sys.RunLog("  HttpSize=" + IntText(actual));
        a.sys.RunLog("  URL=" + location);
    }
    return ok;
}

bool GetOkToPerformAU(TAgent& a, bool fetched, int& code, std::string& text)
{
    TAUFacts f;
    f.infoFetched = fetched;
    if (fetched) {
        f.versionOriginal = a.s.VersionOriginal();
        f.versionNew = a.s.VersionNew();
        f.stampOriginal = a.s.StampOriginal();
        f.stampInfo = a.s.StampNew();
        f.now = a.s.NowSeconds();
        f.reAskLast = a.s.ReAskSecondsLast();
        f.reAskInterval = a.s.ReAskSecondsInterval();
        f.interactive = Interactive(a.st);
        f.validVersions = a.s.ValidVersions();
    }
    code = GetOkToPerformAUCode(
        f, [](void* agent) { return CheckDownloadSize(*static_cast<TAgent*>(agent)); }, &a);
    text = AUCodeText(code);
    a.sys.Trace(Cat({a.sys.Pid(), " GetOkToPerformAU=", IntText(code)}));
    a.sys.RunLog(Cat({"GetOkToPerformAU = ", IntText(code), " - ", text}));
    return code == kAUCodeOK;
}

bool JustDownloadInfoFile(TAgent& a)
{
    std::string message;
    a.sys.Notify(kListenerInfoDownload, kListenerBegin);
    const bool ok = DownloadFileAU(a, a.sys.UpdateLocation(), a.s.InfoFilePath(), TAUKind::Info, message);
    a.sys.Notify(kListenerInfoDownload, kListenerEnd);
    return ok;
}

// The download of what the offer names (the new setup or the inform
// file), with its listener notices around it.
bool DownloadOffered(TAgent& a, const std::string& base, const std::string& name, TAUKind kind)
{
    a.st.agentPhase = kPhaseDownload;
    a.sys.Notify(kListenerUpdateDownload, kListenerBegin);
    std::string message;
    const bool ok = DownloadFileAU(a, base, name, kind, message);
    a.sys.Notify(kListenerUpdateDownload, kListenerEnd);
    return ok;
}

// A question before a step (with the header), or with the Force form a
// notice that only tells (without Close); never in a user's check.
// False when the user said No.
bool Confirm(TAgent& a, bool asked, bool force, const std::string& text, uint32_t pauseMs)
{
    if (!asked || Interactive(a.st)) return true;
    bool go = true;
    if (force)
        a.sys.WarnBox(kOwnerNoClose, text);
    else
        go = a.sys.Ask(kOwnerWithHeader, text);
    a.sys.Wait(pauseMs);
    return go;
}

bool RunNewSetup(TAgent& a)
{
    // The file that this download wrote and that was checked.
    const std::string params = Cat({"/OriginalInfoFile=\"", a.s.InfoFilePath(), "\""});
    a.st.agentPhase = kPhaseSetupRun;
    a.sys.Notify(kListenerSetupRun, kListenerBegin);
    a.sys.Marker("PerformAutoUpdate", 10);
    const bool ran = a.sys.RunSetup(a.st.downloaded, !a.s.BackgroundUpdate(), params);
    a.sys.Marker("PerformAutoUpdate", 11);
    a.sys.Notify(kListenerSetupRun, kListenerEnd);
    if (ran) a.s.SetVersionOriginal(a.s.VersionNew());
    DiscardDownload(a);
    return ran;
}

// The steps between the markers 4 and 13, each ending the update when it
// fails: an offer, the download question, the download and its checks,
// the install question, the product's shut-down, the setup run, and the
// finish with the product's restart.
bool UpdateSteps(TAgent& a)
{
    const std::string base = a.s.DownloadURL_UPDATE();
    const std::string name = a.s.NameOfUpdateFile();
    if (base.empty() || name.empty()) return false;

    a.sys.Marker("PerformAutoUpdate", 5);
    const bool confirmInstall = a.s.RequestConfirmationBeforeInstall();
    const bool downloadForce = a.s.RequestConfirmationBeforeDownloadForce();
    const std::string program = a.s.ProgramNameNew();
    const std::string downloadQuestion = WithProgName(
        a.s.AUText("s11") + a.s.AUText(DownloadQuestionSecondKey(confirmInstall, downloadForce)), program);
    if (!Confirm(a, a.s.RequestConfirmationBeforeDownload(), downloadForce, downloadQuestion, 500)) return false;

    a.sys.Marker("PerformAutoUpdate", 6);
    const bool downloaded = DownloadOffered(a, base, name, TAUKind::Update);
    const bool installForce = a.s.RequestConfirmationBeforeInstallForce();
    const std::string installQuestion = WithProgName(a.s.AUText(InstallQuestionKey(installForce)), program);
    if (!downloaded || !Confirm(a, confirmInstall, installForce, installQuestion, 100)) return false;

    a.sys.Marker("PerformAutoUpdate", 7);
    const TProductStop stop = ShutDownProcess(a);
    if (stop.stopRequested) return false;
    const bool ran = RunNewSetup(a);
    FinishAndRestart(a, ran, stop);
    return ran;
}

bool PerformAutoUpdate(TAgent& a)
{
    a.sys.RunLog("PerformAutoUpdate() - START");
    a.sys.Marker("PerformAutoUpdate", 4);
    const bool ran = UpdateSteps(a);
    DiscardDownload(a);
    a.sys.Marker("PerformAutoUpdate", 13);
    a.sys.RunLog("PerformAutoUpdate() - END    Result=" + BoolText(ran));
    return ran;
}

bool PerformAutoInform(TAgent& a)
{
    a.sys.RunLog("PerformAutoInform() - START ");
    a.sys.Marker("PerformAutoInform", 1);
    bool shown = false;
    const std::string base = a.s.DownloadURL_UPDATE();
    const std::string name = a.s.NameOfInformFile();
    if (!base.empty() && !name.empty()) {
        a.sys.Marker("PerformAutoInform", 2);
        if (DownloadOffered(a, base, name, TAUKind::Inform)) {
            a.sys.Marker("PerformAutoInform", 3);
            const std::string text = a.sys.ReadText(a.st.downloaded, kMaxAUTextFileSize);
            shown = a.sys.ShowInform(a.s.AUText("s34"), a.s.AUText("s35"), a.s.CharSet(), a.s.FontSize(),
                                     a.s.FontName(), InformSize(a.s.AutoInformH()), InformSize(a.s.AutoInformW()),
                                     a.s.DownloadURL_INFORM(), SplitTokenText(text).second);
            if (shown) a.s.SetVersionOriginal(a.s.VersionNew());
            a.sys.Marker("PerformAutoInform", 4);
        }
        DiscardDownload(a);
    }
    a.sys.RunLog(std::string("PerformAutoInform() - END ") + BoolText(shown));
    return shown;
}

// A user's check that led to nothing says why: no connection, an INFO
// download that failed, or nothing new (with the ladder's answer in the
// developers' test mode).
void TellNothingDone(TAgent& a, bool test, int code, const std::string& text, const std::string& message)
{
    a.sys.Trace(Cat({a.sys.Pid(), " TestMode=", BoolText(test), " InternetConnected=",
                     BoolText(a.sys.InternetConnected())}));
    std::string connectionError;
    if (!test && !a.sys.InternetConnectedEx(connectionError)) {
        std::string t = a.s.AUText("s2");
        if (!connectionError.empty()) t += "<P><P>" + connectionError;
        a.sys.ErrorBox(kOwnerWithHeader, t);
    } else if (!test && !message.empty()) {
        a.sys.ErrorBox(kOwnerWithHeader, message);
    } else {
        std::string t = a.s.AUText("s21");
        if (a.sys.DevTestMode()) t += "<P><P>(" + IntText(code) + " - " + text + ")   ";
        a.sys.WarnBox(kOwnerPlain, t);
    }
}

void PerformShot(TAgent& a)
{
    a.sys.Trace(Cat({a.sys.Pid(), " Fire  ", ReadableSeconds(a.s.NowSeconds())}));
    const bool test = a.s.CheckTestMode(true);
    bool performed = false;
    a.st.agentPhase = kPhaseInfoFile;
    a.sys.Notify(kListenerInfoDownload, kListenerBegin);
    std::string message;
    const bool ok = DownloadFileAU(a, a.sys.UpdateLocation(), a.s.InfoFilePath(), TAUKind::Info, message);
    a.sys.Notify(kListenerInfoDownload, kListenerEnd);
    a.s.SetProbeSecondsLast(a.s.NowSeconds());
    int code = 0;
    std::string text;
    if (GetOkToPerformAU(a, ok, code, text)) {
        a.sys.Marker("PerformShot", 1);
        performed = true;
        a.s.SetReAskSecondsLast(a.s.NowSeconds());
        a.s.SetStamp(a.s.StampNew());
        if (a.s.AutoInform())
            PerformAutoInform(a);
        else if (PerformAutoUpdate(a))
            ReStartAutoUpdateExe(a);
        a.sys.Marker("PerformShot", 2);
    }
    if (!Interactive(a.st)) return;
    a.sys.Wait(1000);
    a.sys.ShowMain(false);
    if (!performed) TellNothingDone(a, test, code, text, message);
}

}  // namespace

void AgentTick(TAgent& a)
{
    if (a.st.timerBusy) return;
    a.st.timerBusy = true;
    if (a.st.justDownloadInfoFileRequested) {
        a.sys.Trace("-------------- JustDownloadInfoFile ---------------");
        a.st.justDownloadInfoFileRequested = false;
        JustDownloadInfoFile(a);
    } else {
        a.sys.SetBoxFont(a.s.FontName(), a.s.FontSize(), a.s.CharSet());
        a.st.agentPhase = kPhaseIdle;
        if (a.st.agentMode == kModeCheckAsked) a.st.agentMode = kModeCheckUnderWay;
        if (a.st.agentMode == kModeCheckUnderWay) a.st.autoUpdateTimerCount = 0;
        if (AgentStopCountdownTick(a.st)) a.sys.PostQuit();
        ++a.st.autoUpdateTimerCount;
        a.sys.Trace(Cat({a.sys.Pid(), " AutoUpdateTimerCount=", IntText(a.st.autoUpdateTimerCount)}));
        if (a.st.autoUpdateTimerCount > 0) {
            const bool test = a.s.CheckTestMode(false);
            int status = ShotTimeStatus(a.st.probingEnabled, a.st.probeNowRequested, test,
                                        a.s.ProbeSecondsInterval(), a.s.ProbeSecondsLast(), a.s.NowSeconds());
            a.sys.Trace(Cat({a.sys.Pid(), " ShotTimeStatus=", IntText(status)}));
            if (status == kShotOnlyOne) a.st.probingEnabled = false;
            if (status != kShotNotDue && (Interactive(a.st) || a.s.OverrideAskBeforeCheck()) && !AskCheckNow(a))
                status = kShotNotDue;
            if (status != kShotNotDue) PerformShot(a);
            if (a.st.agentMode == kModeCheckUnderWay) a.st.agentMode = kModeAutomatic;
        }
    }
    a.st.agentPhase = kPhaseIdle;
    a.st.timerBusy = false;
}

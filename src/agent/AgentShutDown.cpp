// The product's shut-down for an update, its restart afterwards, and the
// agent's own restart. The only program ever started is the product that
// was running and was stopped for the update (and the agent itself).
#include "agent/AgentShutDown.h"

#include "agent/AgentRules.h"
#include "agent/AgentSettings.h"
#include "agent/AgentState.h"
#include "agent/AgentSystem.h"
#include "sys/Files.h"
#include "sys/Utils.h"
#include "ui/LMsgBoxButtons.h"

TProductStop ShutDownProcess(TAgent& a)
{
    const std::string path = a.sys.ExpandProductPath(a.s.RunningProcess(), a.s.TargetDir(), a.s.SharedDir(),
                                                     a.s.AuxiliaryDir());
    const bool before = a.sys.ProgramRunning(path);
    const std::string methodText = a.s.ShutDownMethod();
    a.sys.RunLog(Cat({"Shut Down Process() - START  (", path, ")  Method: ", methodText}));
    const TShutDownMethod method = ShutDownMethodOf(methodText);
    bool stopRequested = false;
    if (method == TShutDownMethod::IssueMessageBox) {
        const std::string text = WithProgName(a.s.AUText("s15"), NamePart(path));
        a.sys.Trace(Cat({"s1=", text, "<"}));
        // As long as the product runs, unless the agent is asked to stop
        // meanwhile: that request also closes the box on screen.
        const uint32_t stops = a.st.stopRequests;
        a.st.askingToCloseProduct = true;
        while (a.st.stopRequests == stops && a.sys.ProgramRunning(path)) a.sys.WarnBox(kOwnerWithHeader, text);
        a.st.askingToCloseProduct = false;
        stopRequested = a.st.stopRequests != stops;
    }
    a.sys.Marker("PerformAutoUpdate", 8);
    if (stopRequested)
        a.sys.RunLog("ERROR: stop asked; the product runs; no update");
    else if (method == TShutDownMethod::Close)
        a.sys.CloseProgram(path);
    else if (method == TShutDownMethod::Quit)
        a.sys.QuitProgram(path);
    else if (method == TShutDownMethod::Terminate)
        a.sys.TerminateProgram(path);
    if (method != TShutDownMethod::DontShutDown && !stopRequested) a.sys.WaitWhileRunning(path);
    a.sys.Marker("PerformAutoUpdate", 9);
    a.sys.RunLog("Shut Down Process() - END");
    // By file name, as every road of the process services can tell. The stop
    // methods act on the full path, so a program of the same name elsewhere
    // is never stopped, the state stays "still running", and nothing is
    // started again.
    const int state = RunningStateAfter(before, a.sys.ProgramRunning(path));
    return {path, a.s.RestartProcess() && state == 2, stopRequested};
}

void FinishAndRestart(TAgent& a, bool ran, const TProductStop& stop)
{
    const std::string text = WithProgName(a.s.AUText("s16"), a.s.ProgramNameNew());
    const std::string more = a.s.AUText("s17");
    bool answer = true;
    if (ran && (a.s.InformFinish() || Interactive(a.st))) {
        if (stop.restart)
            answer = a.sys.Ask(kOwnerPlain, text + more);
        else
            a.sys.WarnBox(kOwnerPlain, text);
    }
    a.sys.Marker("PerformAutoUpdate", 12);
    a.sys.Trace(Cat({BoolText(stop.restart), " ", BoolText(answer), " >", stop.path, "<"}));
    if (stop.restart && answer && IsAbsoluteProgramPath(stop.path)) a.sys.StartProgram(stop.path, "", true);
}

void ReStartAutoUpdateExe(TAgent& a)
{
    a.sys.RunLog(".. ReStartAutoUpdateExe() - Start");
    if (!(a.st.stopCountdown > 0)) {
        const std::string path = a.sys.OwnFolder() + a.sys.AgentFileName();
        const std::string args = AgentRestartArgs(a.s.OverridesToList());
        a.sys.RunLog(Cat({".. WinExec - ", path, " ", args}));
        a.sys.StartProgram(path, args, false);
        a.sys.Wait(1000);
        a.sys.RunLog(".. PostMessage(WM_DESTROY)");
        a.sys.DestroyMain();
    }
    a.sys.RunLog(".. ReStartAutoUpdateExe() - End");
}

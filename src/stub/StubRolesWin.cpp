#include "stub/StubRolesWin.h"

#include <windows.h>

#include <memory>
#include <string>

#include "agent/AgentProtocol.h"
#include "agent/AgentRunLog.h"
#include "agent/AgentSettingsWin.h"
#include "agent/AgentWindow.h"
#include "agent/ResidentAgentWin.h"
#include "package/PackX.h"
#include "stub/StubProgressWin.h"
#include "stub/StubRoles.h"
#include "stub/StubSetupWin.h"
#include "stub/StubStateWin.h"
#include "stub/StubTempFoldersWin.h"
#include "stub/StubWindowWin.h"
#include "text/SLangId.h"
#include "sys/CommandLine.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/Launch.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

// The stop countdown (timer ticks) that ends a resident copy which a probe
// request started.
constexpr WPARAM kStopAfterProbeTicks = 2;

TRoleFacts RoleFacts(const TStubRun& run)
{
    TRoleFacts f;
    f.autoUpdateAgent = run.isAgent;
    f.cdSpanned = run.package->CdSpanned();
    f.spanCdLvl = GetSwitchInt("/SpanCdLvl=", 1);
    f.ownName = NamePart(OwnPath());
    f.agentFileName = run.package->AgentFileName();
    return f;
}

std::string XCopyPath() { return Cat({OwnFolder(true), "X_", NamePart(OwnPath())}); }

bool X_ExeIsRunning(const TStubRun& run)
{
    return FindWindowA(AgentCopyWindowClass(run.package->AgentFileName()).c_str(), nullptr) != nullptr;
}

void CreateAndRun_X_Exe(const TStubRun& run)
{
    RunLogLine("CreateAndRun_X_Exe() --- Start");
    const std::string z = GetSwitch("/_ZZ=", "");
    TracePid({" CreateAndRun_X_Exe-1 ", z});
    const TRoleFacts f = RoleFacts(run);
    if (run.isAgent && !(X_ExeIsRunning(run) && GetSwitch("/_ZZ=", "") != "99") &&
        SameText(f.ownName, f.agentFileName)) {
        TracePid({" CreateAndRun_X_Exe-2"});
        int64_t w = GetSwitchInt("/WAIT=", 0);
        RunLogLine(Cat({"Wait ", IntText(w), " SEC"}));
        if (w > 0) WaitPumping(0, static_cast<DWORD>(w * 1000));
        const std::string x = XCopyPath();
        CopyFileA(OwnPath().c_str(), x.c_str(), FALSE);
        RunLogLine("Create X_ File ");
        const std::string extra = AgentCopyExtraArgs(GetSwitch("/TRANSIENT=", ""), GetSwitch("/DELAY=", ""));
        RunLogLine(Cat({"WinExec: ", x, extra}));
        StartProgramDetached(x, extra, SW_HIDE);
        if (!CommandLineArgs().empty()) {
            const int64_t start = GetTickCount();
            do {
                WaitPumping(0, 200);
                if (IsProgramRunning(x)) break;
            } while (static_cast<int64_t>(GetTickCount()) - start < 3000);
        }
    }
    RunLogLine("CreateAndRun_X_Exe() --- End");
}

void HandleParamOK(bool xWasRunning)
{
    RunLogLine("HandleParamOK() --- Start");
    const std::string x = XCopyPath();
    int64_t s = GetSwitchInt("/STOP=", -1);
    if (s >= 0 && FileExistsX(x)) {
        RunLogLine("PostProcessMessage(wm_ShutDown) to: " + x);
        PostProcessMessage(x, true, wm_ShutDown, static_cast<WPARAM>(s), 0);
    }
    std::string m = GetSwitch("/WM_MSG=", "");
    if (!m.empty() && FileExistsX(x)) {
        auto [w, l] = WmMsgParams(m);
        RunLogLine(Cat({"PostProcessMessage(wm_LocalMsg) to: ", x, " - :", m, ":"}));
        PostProcessMessage(x, true, wm_LocalMsg, static_cast<WPARAM>(w), static_cast<LPARAM>(l));
    }
    int64_t n = GetSwitchInt("/TEST=", -1);
    if (n >= 0 && FileExistsX(x)) {
        RunLogLine(
            Cat({"PostProcessMessage(wm_AgentMsg) to: ", x, " - AU_PerformUpdateCycle (", IntText(n), ")"}));
        PostProcessMessage(x, true, wm_AgentMsg, kAgentProbeNow, static_cast<LPARAM>(n));
        if (!xWasRunning && n > 0) PostProcessMessage(x, true, wm_ShutDown, kStopAfterProbeTicks, 0);
    }
    const std::string t = GetSwitch("/TRANSIENTx=", "");
    if (!t.empty()) AgentSettings().OverridesFromList(t);
    RunLogLine("HandleParamOK() --- End");
}

void RelaunchFromTempCopy(TStubRun& run)
{
    const std::string folder = SetupTempFolder(run);
    if (folder.empty()) return;  // traced where it failed
    const std::string y = Cat({folder, "\\Y_", NamePart(OwnPath())});
    CopyFileA(OwnPath().c_str(), y.c_str(), FALSE);
    const std::string cmd = RelaunchCommandLine(y, CommandLineArgs(), OwnPath());
    TracePid({" RelaunchFromTempCopy: ", cmd});
    KernelHandle copy(StartProgramLine(y, cmd, SW_HIDE));
}

// The window as the resident agent sees it: the start-up window of this run
// and its setup run.
class TStubAgentWindow final : public TAgentWindow {
public:
    explicit TStubAgentWindow(TStubRun& run) : run_(run) {}

    HWND Handle() override { return run_.window.window; }
    void Show(bool show) override { ShowStartupWindow(run_, show); }
    void SetStatusText(const std::string& text, const std::string& fontName, int charset, int sizePoints) override
    {
        ::SetStatusText(run_, text, fontName, charset, sizePoints);
    }
    void Progress(int kind, int max, int position, int step) override
    {
        ProgressCallback(run_, kind, max, position, step);
    }
    // The update's setup run: the new setup goes through the launcher's own
    // run, in the per-run temporary folder, which goes afterwards.
    bool RunSetup(const std::string& packageFile, bool foreground, const std::string& extraArgs) override
    {
        const bool ran = RunPackageSetup(run_, SetupTempFolder(run_), packageFile, run_.package->AgentFileName(),
                                         foreground, extraArgs);
        DeleteTree(SetupTempFolder(run_), true);
        return ran;
    }

private:
    TStubRun& run_;
};

void RunRole(TStubRun& run)
{
    RunLogLine("DoRunStubWin() --- Start");
    run.windowClass = StubWindowClass(run.isAgent, OwnPath());
    const bool x = X_ExeIsRunning(run);
    RunLogLine("X_ExeIsRunning=" + BoolText(x));
    RunLogLine("ThisIs_Plain_AutoUpdate_Exe=" + BoolText(IsPlainAgent(RoleFacts(run))));
    RunLogLine("ThisIs_X_AutoUpdate_Exe=" + BoolText(IsAgentCopy(RoleFacts(run))));
    if (!FindWindowA(run.windowClass.c_str(), nullptr)) {
        switch (ChooseBranch(RoleFacts(run))) {
        case TStubBranch::PlainAgent:
            CreateAndRun_X_Exe(run);
            break;
        case TStubBranch::AgentCopy:
            // The overrides the previous agent handed over (its restart
            // passes them as /TRANSIENT=, which arrives here as /TRANSIENTx=).
            if (const std::string t = GetSwitch("/TRANSIENTx=", ""); !t.empty()) AgentSettings().OverridesFromList(t);
            RunLogLine("CheckTestMode");
            AgentSettings().CheckTestMode(true);
            RunLogLine("WinMain");
            RunStartupWindow(run);
            RunLogLine("DeleteMySelf");
            DeleteMySelf(false);
            break;
        case TStubBranch::SpannedFirstStart:
            RelaunchFromTempCopy(run);
            break;
        case TStubBranch::PlainStub:
            RunStartupWindow(run);
            if (GetSwitchInt("/SpanCdLvl=", 1) == 2) DeleteMySelf(true);
            break;
        }
    } else {
        TracePid({" ==== already running: ", run.windowClass});
    }
    if (IsPlainAgent(RoleFacts(run))) HandleParamOK(x);
    RunLogLine("DoRunStubWin() --- End");
}

}  // namespace

int RunStub()
{
    const std::string raw = GetCommandLineA();
    const std::string own = OwnPath();
    SetProcessCommandLine(raw, NamePart(own), own);
    UseSystemLocale();
    TracePid({" ==== STUB START ====> ", raw, "<"});

    TStubRun run;
    run.package = std::make_unique<TGFileInfo>(own);
    run.isAgent = run.package->AutoUpdateAgent() != 0;
    SetActiveRun(&run);
    InitAgentSettings(*run.package);
    // Every run answers the agent's messages on its window; only an agent
    // copy's timer runs the update cycle.
    TStubAgentWindow agentWindow(run);
    TResidentAgent agent(*run.package, agentWindow);
    run.agent = &agent;
    SetRunLogEnabled(run.isAgent && run.package->AgentLog());
    if (IsAgentCopy(RoleFacts(run))) SetLogIndent(" X ");

    RunLogLine("");
    RunLogLine("");
    RunLogLine("=== START === " + own);
    RunLogLine("CommandLine=" + raw);
    RunLogLine("Agent Version=" + GetExeVersion("", 1, 4));
    TracePid({" ==== ThisIs_AutoUpdateProg=", BoolText(run.isAgent)});

    RunRole(run);

    run.agent = nullptr;
    run.package.reset();
    TracePid({" ==== STUB END ====> ", raw, "<"});
    Trace("");
    RunLogLine("=== EXIT === " + own);
    RunLogLine("");
    SetActiveRun(nullptr);
    return run.exitCode;
}

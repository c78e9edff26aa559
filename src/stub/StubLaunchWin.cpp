#include "stub/StubLaunchWin.h"

#include "agent/AgentSettingsWin.h"
#include "package/PackX.h"
#include "stub/StubLaunch.h"
#include "stub/StubStateWin.h"
#include "stub/StubWindowWin.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/Launch.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

void RemoveShortcutWhenAsked(bool asked, const std::string& link)
{
    // The path comes from a file beside the agent: only a shortcut is ever
    // deleted through it, whatever else it may name.
    if (asked && !link.empty() && IsShortcutFile(link) && FileExistsX(link)) DeleteFileA(link.c_str());
}

}  // namespace

void WaitForProcessEnd(HANDLE process)
{
    DWORD code = 0;
    do {
        WaitPumping(0, 500);
    } while (GetExitCodeProcess(process, &code) && code == STILL_ACTIVE);
}

bool LaunchSetupEngine(TStubRun& run, const std::string& extractFolder, const std::string& launchRecord,
                       const std::string& extraArgs, bool foregroundOp)
{
    const std::string id = LaunchId(GetCurrentThreadId());
    const std::string line =
        EngineCommandLine(extractFolder, launchRecord, extraArgs, OwnPath(), run.isAgent, id);
    const std::string startUpLink = AgentSettings().StartUpLink();
    const std::string checkLink = AgentSettings().CheckforNewUpdateLink();
    TracePid({" ==== WinExec(Engine.exe) >>", line, "<<"});

    const std::string atomName = std::string(kLaunchAtomPrefix) + id;
    GlobalAddAtomA(atomName.c_str());
    KernelHandle process(StartProgramLine(EngineProgramPath(extractFolder, launchRecord), line,
                                      foregroundOp ? kEngineShowForeground : kEngineShowHidden));
    ShowStartupWindow(run, false);
    WaitPumping(0, 1000);
    WaitForProcessEnd(process.Get());
    DWORD code = 0;
    if (process && GetExitCodeProcess(process.Get(), &code)) run.exitCode = static_cast<int>(code);
    WaitWhileWindow(std::string(kEngineDialogClassPrefix) + id, "");
    WaitPumping(0, 1000);

    const ATOM atom = GlobalFindAtomA(atomName.c_str());
    const bool success = atom == 0;
    if (atom) GlobalDeleteAtom(atom);
    TracePid({" ==== Engine exit code ", IntText(code),
               (success ? ", success" : ", no success")});
    if (success) {
        RemoveShortcutWhenAsked(AgentSettings().RemoveStartUpShortcut(), startUpLink);
        RemoveShortcutWhenAsked(AgentSettings().RemoveCheckForNewUpdateShortcut(), checkLink);
    }
    return success;
}

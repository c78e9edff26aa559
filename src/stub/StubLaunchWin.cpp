#include "stub/StubLaunchWin.h"

#include "agent/AgentSettingsWin.h"
#include "package/PackX.h"
#include "stub/StubLaunch.h"
#include "stub/StubState.h"
#include "stub/StubWindow.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/ProcessViewer.h"
#include "sys/UtilsWin.h"

namespace {

void RemoveShortcutWhenAsked(bool asked, const std::string& link)
{
    if (asked && !link.empty() && FileExistsX(link)) DeleteFileA(link.c_str());
}

}  // namespace

HANDLE StartProcess(const std::string& commandLine, int showState)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Trace(std::to_string(GetCurrentProcessId()) + " StartProcess failed: " + SysErrorText());
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

void WaitForProcessEnd(HANDLE process)
{
    DWORD code = 0;
    do {
        WaitPumping(0, 500);
    } while (GetExitCodeProcess(process, &code) && code == STILL_ACTIVE);
}

bool LaunchSetupEngine(const std::string& extractFolder, const std::string& launchRecord,
                       const std::string& extraArgs, bool foregroundOp)
{
    const std::string id = LaunchId(GetCurrentThreadId());
    const std::string line =
        EngineCommandLine(extractFolder, launchRecord, extraArgs, OwnPath(), ThisIs_AutoUpdateProg(), id);
    const std::string startUpLink = AgentSettings().StartUpLink();
    const std::string checkLink = AgentSettings().CheckforNewUpdateLink();
    Trace(std::to_string(GetCurrentProcessId()) + " ==== WinExec(Engine.exe) >>" + line + "<<");

    const std::string atomName = std::string(kLaunchAtomPrefix) + id;
    GlobalAddAtomA(atomName.c_str());
    KernelHandle process(StartProcess(line, foregroundOp ? SW_SHOWNORMAL : SW_HIDE));
    ShowStartupWindow(false);
    WaitPumping(0, 1000);
    WaitForProcessEnd(process.Get());
    DWORD code = 0;
    if (process && GetExitCodeProcess(process.Get(), &code)) SetStubExitCode(static_cast<int>(code));
    WaitWhileWindow(std::string(kEngineDialogClassPrefix) + id, "");
    WaitPumping(0, 1000);

    const ATOM atom = GlobalFindAtomA(atomName.c_str());
    const bool success = atom == 0;
    if (atom) GlobalDeleteAtom(atom);
    Trace(std::to_string(GetCurrentProcessId()) + " ==== Engine exit code " + std::to_string(code) +
          (success ? ", success" : ", no success"));
    if (success) {
        RemoveShortcutWhenAsked(AgentSettings().RemoveStartUpShortcut(), startUpLink);
        RemoveShortcutWhenAsked(AgentSettings().RemoveCheckForNewUpdateShortcut(), checkLink);
    }
    return success;
}

#include "stub/StubSetupWin.h"

#include "package/PackX.h"
#include "package/UnPackWin.h"
#include "stub/StubInternetPackageWin.h"
#include "stub/StubLaunchWin.h"
#include "stub/StubRoles.h"
#include "stub/StubProgressWin.h"
#include "stub/StubSetup.h"
#include "stub/StubStateWin.h"
#include "stub/StubTempFoldersWin.h"
#include "stub/StubTexts.h"
#include "stub/StubTextsWin.h"
#include "stub/StubWindowWin.h"
#include "sys/CommandLine.h"
#include "sys/Files.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/PrivateFolder.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"
#include "ui/LMsgBox.h"

namespace {

constexpr const char* kSpanDiskKey = "HKEY_CURRENT_USER\\Software\\Corvane\\Lumidor\\SpanDisk";

struct TExtractResult {
    bool checksumOK = false;
    std::string launchRecord;
};

// The extraction with the stub's boxes. A corrupt compressed entry ends it
// like a damaged package: nothing is launched and the caller shows "s7".
TExtractResult ExtractPackageInto(TStubRun& run, const std::string& packageFile, const std::string& folder,
                                  const std::string& agentName, bool alwaysPrompt)
{
    const TGFileInfo& own = *run.package;
    TExtractDialogs dialogs;
    dialogs.OkCancel = [](const std::string& text, const std::string& cap, uint8_t cs, const std::string& btn) {
        return MsgBoxOkCancel(kOwnerWithHeader, text, cap, btn, cs);
    };
    dialogs.Error = [&own](const std::string& text) { ShowStubError(own, text); };
    TExtractResult r;
    ExtractPackage(
        packageFile, folder, agentName, r.checksumOK,
        [&run](int kind, int, int max, int position, int step, const std::string&) {
            ProgressCallback(run, kind, max, position, step);
        },
        StubText(own, kTextDiskPrompt), StubText(own, kTextAttention), StubText(own, kTextButtons),
        static_cast<uint8_t>(StubCharset(own)), alwaysPrompt, r.launchRecord, dialogs);
    return r;
}

bool ReadForcePrompt() { return RegReadString(kSpanDiskKey, "ForcePrompt", "0", RegistryView64() != 0) == "1"; }

bool TempHasRoom(const std::string& folder, const TGFileInfo& package)
{
    const double required = package.RequiredSpace(folder);
    return required < DiskFreeBytes(folder) && FolderExistsX(folder);
}

bool ConfirmTempSpace(const std::string& folder, const TGFileInfo& package, const TGFileInfo& own)
{
    const TSpaceQuestion q =
        SpaceQuestion(folder, package.ConfirmTempDrive(), package.RequiredSpace(folder), DiskFreeBytes(folder),
                      [&own](const char* key, const char* def) { return StubText(own, {key, def}); });
    if (!q.ask) return true;
    return AskStubConfirm(own, q.message);
}

}  // namespace

bool RunPackageSetup(TStubRun& run, std::string extractFolder, const std::string& packageFile,
                     const std::string& agentName, bool foregroundOp, const std::string& extraArgs)
{
    const TGFileInfo& own = *run.package;
    bool result = false;
    ++run.busy;
    const TGFileInfo package(packageFile);
    if (package.ShowActivityBar()) ShowActivityBar(run, true);
    SetStatusText(run, StubText(own, kTextExtracting), StubFontName(own), StubCharset(own), StubFontSize(own));
    if (!TempHasRoom(extractFolder, package) && FindRoomierTempDrive(run.folders)) {
        const std::string alternate = AlternateWorkFolder(run.folders);
        if (!alternate.empty()) extractFolder = alternate;
    }
    Trace(Cat({std::string("========= ForegroundOp="), (foregroundOp ? "TRUE" : "FALSE"), " =========="}));
    bool go = true;
    // Without a folder of our own (none could be made) the question still
    // names the temporary drive.
    if (foregroundOp) go = ConfirmTempSpace(extractFolder.empty() ? TempFolder(true) : extractFolder, package, own);
    if (go && extractFolder.empty()) {
        // Nothing is written anywhere but in a folder this run made.
        ShowStubError(own, Cat({TempFolder(false), "<P><P>Unable to create Directory!<P><P>", SysErrorText()}));
        go = false;
    }
    if (go) {
        if (foregroundOp) ShowStartupWindow(run, true);
        WaitPumping(1, 1000);
        TExtractResult ex = ExtractPackageInto(run, packageFile, extractFolder, agentName, ReadForcePrompt());
        WaitPumping(0, 1000);
        if (!ex.launchRecord.empty() && ex.checksumOK) {
            result = LaunchSetupEngine(run, extractFolder, ex.launchRecord, extraArgs, foregroundOp);
        } else if (!ex.checksumOK) {
            ShowStubError(own, StubText(own, kTextBadCrc));
        }
    }
    RemoveAlternateWorkFolder(run.folders);
    --run.busy;
    return result;
}

void StartSetupRun(TStubRun& run, HWND wnd)
{
    KillTimer(wnd, kRunTimer);
    ++run.busy;
    const TGFileInfo& own = *run.package;
    const std::string agentName = own.InstallAgentCopy() ? own.AgentFileName() : "";
    if (own.InternetPackage()) {
        RunInternetBranch(run, agentName);
    } else {
        std::string packageFile = OwnPath();
        const std::string span = GetSwitch("/SpanDiskFName1=", "");
        if (!span.empty()) {
            TRoleFacts facts;
            facts.autoUpdateAgent = run.isAgent;
            facts.cdSpanned = own.CdSpanned();
            facts.spanCdLvl = GetSwitchInt("/SpanCdLvl=", 1);
            facts.ownName = NamePart(OwnPath());
            if (SpanDiskNameHonoured(facts, span)) packageFile = span;
            else TracePid({" /SpanDiskFName1= ignored: ", span});
        }
        const bool foreground = !(HasSwitch("/hide") || own.RunHidden());
        RunPackageSetup(run, SetupTempFolder(run), packageFile, agentName, foreground, CommandLineArgs());
    }
    --run.busy;
    DeleteTree(run.folders.setup, true);
    PostQuitMessage(0);
}

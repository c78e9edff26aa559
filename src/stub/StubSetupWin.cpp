// The plain stub's setup run: temporary folder, space check, extraction,
// the engine's launch and the clean-up.
#include <windows.h>

#include "package/PackX.h"
#include "package/UnPackWin.h"
#include "stub/StubGlob.h"
#include "stub/StubInet.h"
#include "stub/StubLaunchWin.h"
#include "stub/StubRoles.h"
#include "stub/StubRunWin.h"
#include "stub/StubSetup.h"
#include "stub/StubStateWin.h"
#include "stub/StubTexts.h"
#include "stub/StubTextsWin.h"
#include "stub/StubWindow.h"
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

bool IsFixedDrive(char letter)
{
    const std::string root = std::string(1, letter) + ":\\";
    return GetDriveTypeA(root.c_str()) == DRIVE_FIXED;
}

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
        return MsgBoxOkCancel(kStubBoxOwnerMode, text, cap, btn, cs);
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

bool FindRoomierTempDrive(TStubFolders& f)
{
    if (f.alternateSearched) return !f.alternateRoot.empty();
    f.alternateSearched = true;
    double freeOf[3] = {0, 0, 0};
    const char letters[3] = {'C', 'D', 'E'};
    for (int i = 0; i < 3; ++i) {
        if (!IsFixedDrive(letters[i])) continue;
        // The probe folder is made new and private like the work folder: a
        // drive's root is writable by every user.
        const std::string temp = std::string(1, letters[i]) + ":\\TEMP";
        const std::string probe = FolderExistsX(temp)
                                      ? CreateNumberedPrivateFolder(temp + "\\TEMP", RandomBetween(10000, 100000))
                                      : (CreatePrivateFolder(temp) ? temp : "");
        if (probe.empty()) continue;
        WriteDataFile(probe + "\\~aa.tmp", "aa", 0, false);
        if (FileExistsX(probe + "\\~aa.tmp")) freeOf[i] = DiskFreeBytes(probe);
        DeleteTree(probe, true);
    }
    const std::string temp = TempFolder(true);
    const char current = temp.empty() ? 'C' : static_cast<char>(std::toupper(static_cast<unsigned char>(temp[0])));
    char best = current;
    double max = 0;
    for (int i = 0; i < 3; ++i) {
        if (freeOf[i] > max) {
            max = freeOf[i];
            best = letters[i];
        }
    }
    if (best != current) {
        f.alternateRoot = std::string(1, best) + ":\\TEMP";
        if (FolderExistsX(f.alternateRoot)) f.alternateRoot += "\\TEMP";
    }
    return !f.alternateRoot.empty();
}

std::string AlternateWorkFolder(TStubFolders& f)
{
    if (f.alternateRoot.empty()) return "";
    if (f.alternateWork.empty()) {
        // Made new and private, like SETUP_<n>: a taken name moves on to the
        // next number.
        f.alternateWork = CreateNumberedPrivateFolder(f.alternateRoot + "_", RandomBetween(10000, 100000));
    }
    return f.alternateWork;
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

void RemoveAlternateWorkFolder(const TStubRun& run)
{
    if (!run.folders.alternateWork.empty()) DeleteTree(run.folders.alternateWork, true);
}

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
    RemoveAlternateWorkFolder(run);
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
            facts.ownName = FileNamePart(OwnPath());
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

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
#include "stub/StubState.h"
#include "stub/StubTexts.h"
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

bool gAlternateSearched = false;
std::string gAlternateRoot;
std::string gAlternateWorkFolder;

bool IsFixedDrive(char letter)
{
    const std::string root = std::string(1, letter) + ":\\";
    return GetDriveTypeA(root.c_str()) == DRIVE_FIXED;
}

std::string Lang(const std::string& key, const std::string& def) { return StubLangText(key, def); }

struct TExtractResult {
    bool checksumOK = false;
    std::string launchRecord;
};

// The extraction with the stub's boxes. A corrupt compressed entry ends it
// like a damaged package: nothing is launched and the caller shows "s7".
TExtractResult ExtractPackageInto(const std::string& packageFile, const std::string& folder,
                                  const std::string& agentName, const std::string& prompt,
                                  const std::string& caption, const std::string& buttons, int charset,
                                  bool alwaysPrompt)
{
    TExtractDialogs dialogs;
    dialogs.OkCancel = [](const std::string& text, const std::string& cap, uint8_t cs, const std::string& btn) {
        return MsgBoxOkCancel(0, text, cap, btn, cs);
    };
    dialogs.Error = [](const std::string& text) {
        MsgBoxError(0, text, StubText(kTextError), StubButtonTexts(), StubCharset());
    };
    TExtractResult r;
    ExtractPackage(packageFile, folder, agentName, r.checksumOK, &ProgressCallback, prompt, caption, buttons,
                   static_cast<uint8_t>(charset), alwaysPrompt, r.launchRecord, dialogs);
    return r;
}

bool ReadForcePrompt() { return RegReadString(kSpanDiskKey, "ForcePrompt", "0", RegistryView64() != 0) == "1"; }

bool TempHasRoom(const std::string& folder, const TGFileInfo& package)
{
    const double required = package.RequiredSpace(folder);
    return required < DiskFreeBytes(folder) && FolderExistsX(folder);
}

bool FindRoomierTempDrive()
{
    if (gAlternateSearched) return !gAlternateRoot.empty();
    gAlternateSearched = true;
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
        gAlternateRoot = std::string(1, best) + ":\\TEMP";
        if (FolderExistsX(gAlternateRoot)) gAlternateRoot += "\\TEMP";
    }
    return !gAlternateRoot.empty();
}

std::string AlternateWorkFolder()
{
    if (gAlternateRoot.empty()) return "";
    if (gAlternateWorkFolder.empty()) {
        // Made new and private, like SETUP_<n>: a taken name moves on to the
        // next number.
        gAlternateWorkFolder = CreateNumberedPrivateFolder(gAlternateRoot + "_", RandomBetween(10000, 100000));
    }
    return gAlternateWorkFolder;
}

bool ConfirmTempSpace(const std::string& folder, const TGFileInfo& package)
{
    const TSpaceQuestion q = SpaceQuestion(folder, package.ConfirmTempDrive(), package.RequiredSpace(folder),
                                           DiskFreeBytes(folder), Lang);
    if (!q.ask) return true;
    return MsgBoxConfirm(0, q.message, StubText(kTextConfirm), StubButtonTexts(), StubCharset(), 0);
}

}  // namespace

void RemoveAlternateWorkFolder()
{
    if (!gAlternateWorkFolder.empty()) DeleteTree(gAlternateWorkFolder, true);
}

bool RunPackageSetup(std::string extractFolder, const std::string& packageFile, const std::string& agentName,
                     bool foregroundOp, const std::string& extraArgs)
{
    bool result = false;
    SetSetupRunBusy(true);
    const TGFileInfo package(packageFile);
    if (package.ShowActivityBar()) ShowActivityBar(true);
    SetStatusText(StubText(kTextExtracting), StubFontName(), StubCharset(), StubFontSize());
    if (!TempHasRoom(extractFolder, package) && FindRoomierTempDrive()) {
        const std::string alternate = AlternateWorkFolder();
        if (!alternate.empty()) extractFolder = alternate;
    }
    Trace(Cat({std::string("========= ForegroundOp="), (foregroundOp ? "TRUE" : "FALSE"), " =========="}));
    bool go = true;
    // Without a folder of our own (none could be made) the question still
    // names the temporary drive.
    if (foregroundOp) go = ConfirmTempSpace(extractFolder.empty() ? TempFolder(true) : extractFolder, package);
    if (go && extractFolder.empty()) {
        // Nothing is written anywhere but in a folder this run made.
        MsgBoxError(0, Cat({TempFolder(false), "<P><P>Unable to create Directory!<P><P>", SysErrorText()}),
                    StubText(kTextError), StubButtonTexts(), StubCharset());
        go = false;
    }
    if (go) {
        const std::string prompt = StubText(kTextDiskPrompt);
        const std::string caption = StubText(kTextAttention);
        if (foregroundOp) ShowStartupWindow(true);
        WaitPumping(1, 1000);
        TExtractResult ex = ExtractPackageInto(packageFile, extractFolder, agentName, prompt, caption, StubButtonTexts(),
                                               StubCharset(), ReadForcePrompt());
        WaitPumping(0, 1000);
        if (!ex.launchRecord.empty() && ex.checksumOK) {
            result = LaunchSetupEngine(extractFolder, ex.launchRecord, extraArgs, foregroundOp);
        } else if (!ex.checksumOK) {
            MsgBoxError(0, StubText(kTextBadCrc),
                        StubText(kTextError), StubButtonTexts(), StubCharset());
        }
    }
    RemoveAlternateWorkFolder();
    SetSetupRunBusy(false);
    return result;
}

void StartSetupRun(HWND wnd)
{
    KillTimer(wnd, 1);
    SetSetupRunBusy(true);
    const TGFileInfo& own = OwnPackage();
    const std::string agentName = own.InstallAgentCopy() ? own.AgentFileName() : "";
    if (own.InternetPackage()) {
        RunInternetBranch(agentName);
    } else {
        std::string packageFile = OwnPath();
        const std::string span = GetSwitch("/SpanDiskFName1=", "");
        if (!span.empty()) {
            TRoleFacts facts;
            facts.autoUpdateAgent = ThisIs_AutoUpdateProg();
            facts.cdSpanned = own.CdSpanned();
            facts.spanCdLvl = GetSwitchInt("/SpanCdLvl=", 1);
            facts.ownName = FileNamePart(OwnPath());
            if (SpanDiskNameHonoured(facts, span)) packageFile = span;
            else TracePid({" /SpanDiskFName1= ignored: ", span});
        }
        const bool foreground = !(HasSwitch("/hide") || own.RunHidden());
        RunPackageSetup(SetupTempFolder(), packageFile, agentName, foreground, CommandLineArgs());
    }
    SetSetupRunBusy(false);
    DeleteTree(MadeSetupTempFolder(), true);
    PostQuitMessage(0);
}

#include "stub/StubInternetPackageWin.h"

#include <windows.h>

#include "net/CommUtils.h"
#include "net/HttpUrl.h"
#include "net/InetHTTP.h"
#include "package/PackX.h"
#include "stub/StubInternetPackage.h"
#include "stub/StubProgressWin.h"
#include "stub/StubSetup.h"
#include "stub/StubSetupWin.h"
#include "stub/StubStateWin.h"
#include "stub/StubTempFoldersWin.h"
#include "stub/StubTexts.h"
#include "stub/StubTextsWin.h"
#include "stub/StubWindowWin.h"
#include "sys/CommandLine.h"
#include "sys/Files.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Sha256Win.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "ui/LMsgBox.h"
#include "sys/LProgBar.h"

namespace {

void WriteAgentCopy(TStubRun& run, const std::string& agentName)
{
    std::string image;
    ReadFilePart(OwnPath(), 0, false, image, 0);  // 0: the whole file
    const std::string agent = AgentImageOf(image, GetPackageEndOfImage(image));
    const std::string folder = SetupTempFolder(run);
    const std::string path = Cat({folder, "\\", agentName});
    if (agent.empty() || folder.empty() || !WriteDataFile(path, agent, OwnDosDateTime(), false))
        TracePid({" agent copy not written: ", path});
}

// "!" when the user declined the download, else empty.
std::string AskBeforeDownload(const TGFileInfo& own, bool hidden)
{
    if (!own.ConfirmDownload() || hidden) return "";
    const std::string message = ReplaceText(StubText(own, kTextDownloadAsk), "<SIZE>",
                                            FormatMB(static_cast<double>(TextToInt64(own.SetupFileSize(), 0))));
    return AskStubConfirm(own, message) ? "" : "!";
}

// The error box's text when there is no connection (it also replaces a
// declined download's "!"), else empty.
std::string ConnectionError(const TGFileInfo& own)
{
    std::string systemText;
    if (InternetConnectedEx(systemText)) return "";
    std::string error = StubText(own, kTextNoConnection);
    if (!systemText.empty()) error += "<P><P>" + systemText;
    return error;
}

// Asks, tests the connection and downloads the setup file to `target`;
// the bars are set back afterwards, whatever the outcome.
std::string FetchSetupFile(TStubRun& run, const std::string& url, const std::string& target, bool hidden,
                           bool& downloaded)
{
    const TGFileInfo& own = *run.package;
    SetStatusText(run, StubText(own, kTextDownloading), StubFontName(own), StubCharset(own), StubFontSize(own));
    std::string error = AskBeforeDownload(own, hidden);
    if (std::string noConnection = ConnectionError(own); !noConnection.empty()) error = noConnection;
    SetDownloadAbort(false);
    TProgBar& bar = EnsureProgressBar(run);
    if (error.empty()) {
        std::string memory;
        const bool complete = HTTP_DownloadFile(hidden ? nullptr : run.window.window, url, target, memory, &bar, error);
        // Only a complete download counts: whatever lay at the target
        // before is somebody else's.
        if (error.empty() && !complete) error = UrlDisplayName(url) + " --- Download incomplete";
        downloaded = error.empty();
    }
    WaitPumping(0, 300);
    ProgressCallback(run, kProgressSetUp, 10, 0, 1);
    WaitPumping(0, 700);
    return error;
}

// Checks the setup file and runs it; the error box's text, else empty. With
// a check item the file is held open without write or delete sharing from
// before its checks to the end of its extraction, so that what runs is what
// was checked.
std::string CheckAndRunSetup(TStubRun& run, const std::string& extractFolder, const std::string& setupFile,
                             const std::string& url, bool hidden)
{
    const TGFileInfo& own = *run.package;
    const std::string checkItem = own.SetupFileCheck();
    FileHandle held;
    if (!checkItem.empty())
        held.Reset(CreateFileA(setupFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string error;
    if (!SameIdentityToken(TGFileInfo(setupFile), own)) {
        Make404Message(setupFile, "", url, "Bad Secret Token!", false, error);
        return error;
    }
    if (!checkItem.empty()) {
        TFileDigest actual;
        const bool hashed = held && Sha256OfHandle(held.Get(), actual);
        if (!SetupFilePassesCheck(checkItem, hashed, actual)) {
            TracePid({" Setup file check failed: ", setupFile, " ",
                      (hashed ? FileCheckText(actual) : std::string("(not read)")), ", expected ", checkItem});
            Make404Message(setupFile, "", url, kSetupFileMismatch, false, error);
            return error;
        }
    }
    RunPackageSetup(run, extractFolder, setupFile, "", !hidden, CommandLineArgs());
    return "";
}

}  // namespace

void RunInternetBranch(TStubRun& run, const std::string& agentName)
{
    const TGFileInfo& own = *run.package;
    if (!agentName.empty()) WriteAgentCopy(run, agentName);
    std::string location = own.DownloadLocation();
    if (!own.AlwaysDownload() && FileExistsX(OwnFolder(true) + own.SetupFileName())) location = OwnFolder(false);
    RunInternetPackage(run, SetupTempFolder(run), location, own.SetupFileName());
}

void RunInternetPackage(TStubRun& run, const std::string& extractFolder, const std::string& location,
                        const std::string& name)
{
    const TGFileInfo& own = *run.package;
    const bool hidden = HasSwitch("/hide") || own.RunHidden();
    const std::string url = Cat({location, "/", name});
    // An empty location names the root of the current drive.
    std::string setupFile = JoinPath(location.empty() ? "\\" : location, name);
    bool downloaded = false;
    std::string error;
    if (!FileExistsX(setupFile)) {
        setupFile = TempFolder(true) + name;
        error = FetchSetupFile(run, url, setupFile, hidden, downloaded);
    }
    TracePid({" Internet package: ", setupFile, " error=", error});
    if (error.empty()) error = CheckAndRunSetup(run, extractFolder, setupFile, url, hidden);
    if (downloaded) DeleteFileA(setupFile.c_str());
    if (!error.empty() && error != "!") ShowStubError(own, error);
}

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

}  // namespace

void RunInternetBranch(TStubRun& run, const std::string& agentName)
{
    const TGFileInfo& own = *run.package;
    if (!agentName.empty()) WriteAgentCopy(run, agentName);
    std::string location = own.DownloadLocation();
    if (!own.AlwaysDownload() && FileExistsX(OwnFolder(true) + own.SetupFileName()))
        location = OwnFolder(false);
    RunInternetPackage(run, SetupTempFolder(run), location, own.SetupFileName());
}

void RunInternetPackage(TStubRun& run, const std::string& extractFolder, const std::string& location,
                        const std::string& name)
{
    const TGFileInfo& own = *run.package;
    std::string error;
    bool downloaded = false;
    const bool hidden = HasSwitch("/hide") || own.RunHidden();
    // An empty location looks at the root of the current drive, as it
    // always has.
    const std::string localName = JoinPath(location.empty() ? "\\" : location, name);
    const std::string url = Cat({location, "/", name});
    std::string package;
    if (FileExistsX(localName)) {
        package = localName;
    } else {
        SetStatusText(run, StubText(own, kTextDownloading), StubFontName(own), StubCharset(own), StubFontSize(own));
        if (own.ConfirmDownload() && !hidden) {
            const std::string message = ReplaceText(StubText(own, kTextDownloadAsk), "<SIZE>",
                                                    FormatMB(static_cast<double>(TextToInt64(own.SetupFileSize(), 0))));
            if (!AskStubConfirm(own, message)) error = "!";
        }
        std::string connectionError;
        if (!InternetConnectedEx(connectionError)) {
            error = StubText(own, kTextNoConnection);
            if (!connectionError.empty()) error += "<P><P>" + connectionError;
        }
        SetDownloadAbort(false);
        package = TempFolder(true) + name;
        TProgBar& bar = EnsureProgressBar(run);
        if (error.empty()) {
            std::string memory;
            const bool complete =
                HTTP_DownloadFile(hidden ? nullptr : run.window.window, url, package, memory, &bar, error);
            // Only the file this download put in place may run; whatever lay
            // at that path before is somebody else's.
            if (error.empty() && !complete) error = UrlDisplayName(url) + " --- Download incomplete";
            if (error.empty()) downloaded = true;
        }
        WaitPumping(0, 300);
        ProgressCallback(run, kProgressSetUp, 10, 0, 1);
        WaitPumping(0, 700);
    }
    TracePid({" Internet package: ", package, " error=", error});
    // With a check item the file is held open without write or delete
    // sharing from before its checks to the end of its extraction, so that
    // what runs is what was checked.
    const std::string checkItem = own.SetupFileCheck();
    FileHandle held;
    if (error.empty() && !checkItem.empty())
        held.Reset(CreateFileA(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (error.empty()) {
        const TGFileInfo setup(package);
        if (!SameIdentityToken(setup, own)) Make404Message(package, "", url, "Bad Secret Token!", false, error);
    }
    if (error.empty() && !checkItem.empty()) {
        TFileDigest actual;
        const bool hashed = held && Sha256OfHandle(held.Get(), actual);
        if (!SetupFilePassesCheck(checkItem, hashed, actual)) {
            TracePid({" Setup file check failed: ", package, " ",
                       (hashed ? FileCheckText(actual) : std::string("(not read)")), ", expected ", checkItem});
            Make404Message(package, "", url, kSetupFileMismatch, false, error);
        }
    }
    if (error.empty()) RunPackageSetup(run, extractFolder, package, "", !hidden, CommandLineArgs());
    held.Reset();
    if (downloaded) DeleteFileA(package.c_str());
    if (!error.empty() && error != "!") ShowStubError(own, error);
}

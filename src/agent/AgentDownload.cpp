// The agent's downloads: the INFO file, the new setup and the inform file.
// Every server and folder they come from is untrusted: texts are bounded in
// size and time, only a download that arrived whole with a success status
// is decided on or checked, what the server sends lands in a new folder of
// its own (never over a file the download did not create), and a new setup
// counts only after its digest (when the INFO file names one) and its
// identity token have passed.
#include "agent/AgentDownload.h"

#include "agent/AgentRules.h"
#include "agent/AgentSettings.h"
#include "agent/AgentState.h"
#include "agent/AgentSystem.h"
#include "net/CommUtils.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/IniText.h"
#include "sys/LProgBar.h"
#include "sys/Utils.h"
#include "ui/LMsgBoxButtons.h"

namespace {

// The digest the INFO file announces for the offered file ("" for none).
std::string ExpectedDigest(TAgent& a, TAUKind kind)
{
    return Trim(kind == TAUKind::Update ? a.s.Text(TSettingsFile::Info, "NewSetup", "SHA256OfUpdateFile")
                                        : a.s.Text(TSettingsFile::Info, "AutoInform", "SHA256OfInformFile"));
}

// The new file of this download, in a folder of its own: `a.st.downloaded`.
bool PlaceDownload(TAgent& a, const std::string& name, std::string& message)
{
    a.st.downloadFolder = a.sys.NewDownloadFolder();
    if (a.st.downloadFolder.empty()) {
        message = name + " --- no download folder";
        return false;
    }
    a.st.downloaded = a.st.downloadFolder + name;
    return true;
}

// Fetches base\name from a folder, else base/name over HTTP (never in
// test mode); `source` ends as the place it came from. False when neither
// could be tried. A text lands in `content`, the new setup in a new file
// (a.st.downloaded); a text is read with one byte beyond its cap, which tells
// a file that is too large.
bool Fetch(TAgent& a, TAUKind kind, const std::string& base, const std::string& name, bool test, bool showWindow,
           std::string& source, std::string& content, std::string& message)
{
    const bool text = kind != TAUKind::Update;
    const int64_t limit = text ? kMaxAUTextFileSize : UpdateDownloadLimit(a.s.SizeOfUpdateFile());
    source = Cat({base, "\\", name});
    if (a.sys.FileExists(source)) {
        if (text) content = a.sys.ReadText(source, limit + 1);
        std::string error;
        if ((text ? static_cast<int64_t>(content.size()) : a.sys.FileSize(source)) > limit) {
            content.clear();
            message = source + " --- refused: too large";
        } else if (!text && PlaceDownload(a, name, message) && !a.sys.CopyFileTo(source, a.st.downloaded, error)) {
            message = Cat({source, " --- ", error});
        }
        if (showWindow) {  // a copy takes no time: the bar moves for the user to see
            a.sys.Progress(kProgressSetUp, 10, 0, 1);
            for (int i = 0; i < 10; ++i) {
                a.sys.Progress(kProgressAdvance, 0, 0, 0);
                a.sys.Wait(300);
            }
            a.sys.Progress(kProgressSetUp, 0, 0, 0);
        }
        return true;
    }
    if (test || !a.sys.InternetConnected()) return false;
    a.sys.Wait(500);
    source = Cat({base, "/", name});
    a.sys.SetDownloadAbort(false);
    if (text)
        a.sys.DownloadText(Interactive(a.st), source, content, message);
    else if (PlaceDownload(a, name, message))
        a.sys.DownloadFile(Interactive(a.st), source, a.st.downloaded, limit, message);
    a.sys.Wait(500);
    return true;
}

// With an update key in the agent, an INFO file counts only when the key
// signed its exact bytes (the signature lies beside it under its name plus
// ".sig") and its Expires day has not passed; "" when it counts.
std::string SignedInfoRefusal(TAgent& a, const std::string& base, const std::string& name, bool test,
                              const std::string& content)
{
    const std::string key = a.sys.UpdateKey();
    if (key.empty()) return "";
    std::string source, signature, message;
    const bool fetched = Fetch(a, TAUKind::Info, base, name + ".sig", test, false, source, signature, message);
    if (message.empty() && (!fetched || signature.empty())) message = "no signature";
    std::string error;
    if (message.empty() && !a.sys.VerifySignature(key, content, signature, error)) message = error;
    if (!message.empty()) return Cat({name, " --- refused: not signed by the update key (", message, ")"});
    if (FeedExpired(IniGetValue(content, "NewSetup", "Expires", ""), a.s.NowSeconds() / 86400))
        return name + " --- refused: expired";
    return "";
}

// The checks of a file that arrived whole ("" when it passed them): the
// digest the INFO file names, then the identity token against ours (the new
// setup's package token, the inform file's first line). A token must
// unscramble on both sides: the random text that stands in for one that
// does not could otherwise match by chance.
std::string CheckDownloaded(TAgent& a, TAUKind kind, const std::string& target, const std::string& source)
{
    const std::string expected = ExpectedDigest(a, kind);
    if (!expected.empty() && !SHA256Matches(expected, a.sys.FileSHA256(target)))
        return "The downloaded file does not match its SHA-256 checksum!<P><P>" + source;
    std::string own, theirs;
    bool same = UnscrambleValueChecked(a.sys.OwnToken(), own);
    if (kind == TAUKind::Update)
        same = same && UnscrambleValueChecked(a.sys.PackageToken(target), theirs) && theirs == own;
    else
        same = same && SplitTokenText(a.sys.ReadText(target, kMaxAUTextFileSize)).first == own;
    std::string message;
    if (!same) Make404Message(target, "", source, "Bad Secret Token!", false, message);
    return message;
}

// Why an offered file is not fetched at all ("" when it may be): the name
// of one of the agent's own files beside it (a server that names one gets
// nothing from us, whatever folder the download would land in), or a
// signed offer without the digest that pins what it offers.
const char* OfferRefusal(TAgent& a, TAUKind kind, const std::string& name)
{
    const char* refusal =
        DownloadNameRefusal(name, a.s.OriginalFilePath(), a.s.InfoFilePath(), a.sys.AgentFileName());
    if (!*refusal && !a.sys.UpdateKey().empty() && ExpectedDigest(a, kind).empty())
        refusal = "refused: a signed offer without its SHA-256";
    return refusal;
}

// Only an INFO file that arrived whole (and, with an update key, signed)
// replaces the one on disk: a failed or cut-short answer is never decided
// on, and its keys' defaults must not stand in for what the author wrote.
bool KeepInfoFile(TAgent& a, const std::string& base, const std::string& name, bool test, const std::string& source,
                  const std::string& content, std::string& message)
{
    if (message.empty() && !content.empty()) message = SignedInfoRefusal(a, base, name, test, content);
    if (message.empty() && !content.empty()) {
        a.sys.WriteText(a.s.InfoFilePath(), content);
        Make404Message("", content, source, "", false, message);
    }
    if (!message.empty()) a.sys.RunLog("ERROR: " + message);
    return message.empty() && !content.empty();
}

// Only what arrived whole is checked (the inform file's text is written to
// its own folder first); with neither a folder nor a connection nothing
// arrived, which is told as for another product's file. A failed download
// is not checked, and nothing of it is kept.
void CheckOffered(TAgent& a, TAUKind kind, const std::string& name, bool attempted, const std::string& source,
                  const std::string& content, std::string& message)
{
    if (message.empty() && kind == TAUKind::Inform && !content.empty() && PlaceDownload(a, name, message) &&
        !a.sys.WriteText(a.st.downloaded, content))
        message = a.st.downloaded + " --- not written";
    const bool checked = message.empty();
    if (checked) {
        if (kind == TAUKind::Update && attempted) a.sys.HoldFile(a.st.downloaded);
        message = attempted ? CheckDownloaded(a, kind, a.st.downloaded, source) : std::string("Bad Secret Token!");
    }
    if (!message.empty()) {
        DiscardDownload(a);
        a.sys.RunLog("ERROR: " + message);
        if (checked) a.sys.ErrorBox(kOwnerWithHeader, message);
    }
}

// A confirmed download that failed says why in the words of the agent's
// texts, which replace the message.
void TellFailedDownload(TAgent& a, const std::string& source, uint32_t stopsBefore, std::string& message)
{
    const char* key = DownloadFailureKey(a.sys.DownloadAborted(), source);
    message = a.s.AUText(key);
    if (key[1] != '3') message += "<P><P>" + source;
    a.sys.RunLog("ATTENTION: " + message);
    // An agent asked to stop meanwhile waits for nobody.
    if (a.st.stopRequests == stopsBefore) a.sys.WarnBox(kOwnerWithHeader, message);
}

}  // namespace

void DiscardDownload(TAgent& a)
{
    if (a.st.downloadFolder.empty()) return;
    a.sys.ReleaseFile();
    a.sys.RemoveDownloadFolder(a.st.downloadFolder);
    a.st.downloadFolder.clear();
    a.st.downloaded.clear();
}

bool DownloadFileAU(TAgent& a, std::string base, std::string name, TAUKind kind, std::string& message)
{
    message.clear();
    DiscardDownload(a);
    const uint32_t stops = a.st.stopRequests;
    name = NamePart(name);
    const bool test = a.s.CheckTestMode(false);
    if (test) base = a.s.TestModeURL();
    std::string source = Cat({base, "\\", name});
    a.sys.Trace(Cat({a.sys.Pid(), " DownloadFileAU: ", source}));
    a.sys.RunLog("TestMode=" + BoolText(test));
    a.sys.RunLog("Download START: " + source);
    const bool showWindow = kind == TAUKind::Update && a.s.RequestConfirmationBeforeDownload() && !Interactive(a.st);
    if (showWindow) a.sys.ShowMain(true);
    a.sys.StatusText(a.s.AUText(kind == TAUKind::Info ? "s31" : kind == TAUKind::Update ? "s32" : "s33"));
    std::string content;
    bool attempted = false;
    if (const char* refusal = kind == TAUKind::Info ? "" : OfferRefusal(a, kind, name); *refusal)
        message = Cat({source, " --- ", refusal});
    else
        attempted = Fetch(a, kind, base, name, test, showWindow, source, content, message);
    if (showWindow) a.sys.ShowMain(false);
    a.sys.RunLog("Download END:   " + source);

    if (kind == TAUKind::Info) return KeepInfoFile(a, base, name, test, source, content, message);
    CheckOffered(a, kind, name, attempted, source, content, message);
    if (!message.empty() && source.size() > 2 && a.s.RequestConfirmationBeforeDownload())
        TellFailedDownload(a, source, stops, message);
    return message.empty();
}

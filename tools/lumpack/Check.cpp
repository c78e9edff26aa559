// lumpack check: an INFO file, its signature and the files it names, as an
// agent will judge them, before they are uploaded.
#include <filesystem>
#include <ostream>
#include <system_error>
#include <vector>

#include "InfoFile.h"
#include "Release.h"
#include "ReleaseInputs.h"
#include "Signing.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/Sha256.h"
#include "sys/Utils.h"

namespace fs = std::filesystem;

namespace {

class TCheck {
public:
    TCheck(const TCheckOptions& o, std::ostream& out) : O(o), Out(out) {}
    std::string Run();

private:
    void Problem(const std::string& text) { Problems.push_back(text); }
    void CheckSignature(const std::string& pinned, const std::string& origin);
    void CheckFile(const char* section, const char* nameKey, const char* sizeKey, const char* shaKey, bool keyed,
                   TFileDigest& digest, std::string& path);
    void CheckSetup(bool keyed);
    void CheckInform(bool keyed);
    void CheckOffer();

    const TCheckOptions& O;
    std::ostream& Out;
    std::string Text;
    std::vector<std::string> Problems;
};

void TCheck::CheckSignature(const std::string& pinned, const std::string& origin) {
    const std::string sigPath = O.InfoPath + kSignatureSuffix;
    std::error_code ec;
    const bool present = fs::is_regular_file(sigPath, ec);
    if (pinned.empty()) {
        Out << "signature: " << (present ? "present, not checked" : "none")
            << (O.AgentPath.empty() ? " (no key given: --agent or --pub)" : " (the agent pins no update key)") << "\n";
        return;
    }
    std::string signature;
    TPackFile f;
    if (!present || !f.Open(sigPath)) return Problem("'" + sigPath + "' is missing: " + origin + " needs a signature");
    const int64_t size = f.Size();
    if (size != static_cast<int64_t>(kSignatureBytes))
        return Problem("'" + sigPath + "' has " + std::to_string(size) + " bytes, not the " +
                       std::to_string(kSignatureBytes) + " of a signature");
    signature.assign(kSignatureBytes, '\0');
    if (!f.ReadExact(0, signature.data(), signature.size())) return Problem("cannot read '" + sigPath + "'");
    if (auto e = VerifyData(pinned, Text, signature); !e.empty())
        return Problem("'" + sigPath + "': " + e + " (" + origin + "); the INFO file changed after it was signed, or "
                       "it was signed with another key");
    Out << "signature: verifies with " << origin << "\n";
}

// The file a name key names, beside the INFO file (or in --files): its size
// and SHA-256 as the INFO file records them.
void TCheck::CheckFile(const char* section, const char* nameKey, const char* sizeKey, const char* shaKey, bool keyed,
                       TFileDigest& digest, std::string& path) {
    const std::string name = InfoValue(Text, section, nameKey);
    const std::string size = InfoValue(Text, section, sizeKey);
    const std::string sha = InfoValue(Text, section, shaKey);
    path.clear();
    if (name.empty()) return Problem(std::string(nameKey) + " is empty");
    if (NamePart(name) != name) return Problem(std::string(nameKey) + " '" + name + "' is not a plain file name");
    if (sha.empty() && keyed)
        return Problem(std::string(shaKey) + " is missing: an agent with an update key requires it");
    const fs::path folder = O.FilesDir.empty() ? fs::path(O.InfoPath).parent_path() : fs::path(O.FilesDir);
    path = (folder / name).string();
    if (!Sha256OfFile(path, digest)) {
        Problem("'" + path + "' (" + nameKey + ") cannot be read");
        path.clear();
        return;
    }
    if (!size.empty() && TextToInt64(size, -1) != static_cast<int64_t>(digest.Size))
        Problem("'" + path + "' has " + std::to_string(digest.Size) + " bytes, " + sizeKey + " says " + size);
    if (!sha.empty() && !SameText(sha, digest.Sha256))
        Problem("'" + path + "' has the SHA-256 " + digest.Sha256 + ", " + shaKey + " says " + sha);
}

void TCheck::CheckSetup(bool keyed) {
    TFileDigest digest;
    std::string path;
    CheckFile(kNewSetup, "NameOfUpdateFile", "SizeOfUpdateFile", "SHA256OfUpdateFile", keyed, digest, path);
    if (path.empty()) return;
    TGFileInfo setup;
    if (auto e = ReadPackage(path, "setup", setup); !e.empty()) return Problem(e);
    if (!O.AgentPath.empty()) {
        TGFileInfo agent;
        if (auto e = ReadPackage(O.AgentPath, "agent", agent); !e.empty()) return Problem(e);
        if (auto e = TokenProblem(setup, path, agent, O.AgentPath); !e.empty()) return Problem(e);
    }
    Out << "setup: " << path << ", " << digest.Size << " bytes, SHA-256 " << digest.Sha256 << "\n";
}

void TCheck::CheckInform(bool keyed) {
    TFileDigest digest;
    std::string path;
    CheckFile(kAutoInformSection, "NameOfInformFile", "SizeOfInformFile", "SHA256OfInformFile", keyed, digest, path);
    if (!path.empty()) Out << "inform file: " << path << ", " << digest.Size << " bytes\n";
}

void TCheck::CheckOffer() {
    int64_t version = 0;
    const std::string v = InfoValue(Text, kNewSetup, "VersionNew");
    if (!ParseVersion(v, version)) Problem("VersionNew '" + v + "' is not a version from 1 to " + std::to_string(kMaxVersion));
    if (InfoValue(Text, kNewSetup, "DownloadURL_UPDATE").empty())
        Problem("DownloadURL_UPDATE is empty: the agent offers nothing");
    const std::string expires = InfoValue(Text, kNewSetup, "Expires");
    if (!expires.empty()) {
        if (auto e = ExpiresProblem(expires); !e.empty()) Problem(e);
        else Out << "expires: after " << expires << "\n";
    }
}

std::string TCheck::Run() {
    std::string why;
    if (!ReadInfoFile(O.InfoPath, Text, why)) return why;
    std::string pinned, origin;
    if (auto e = ReferenceKey(O.AgentPath, O.PublicKeyPath, pinned, origin); !e.empty()) return e;
    CheckSignature(pinned, origin);
    CheckOffer();
    const bool keyed = !pinned.empty();
    // In inform mode the agent fetches the inform file, and no setup.
    const bool inform = InfoValue(Text, "General", "AutoInform") == "1";
    if (inform) CheckInform(keyed);
    if (!inform || !InfoValue(Text, kNewSetup, "NameOfUpdateFile").empty()) CheckSetup(keyed);
    if (Problems.empty()) {
        Out << "OK: " << O.InfoPath << "\n";
        return "";
    }
    std::string all;
    for (const auto& p : Problems) all += (all.empty() ? "" : "\nlumpack: ") + O.InfoPath + ": " + p;
    return all;
}

}  // namespace

std::string CheckRelease(const TCheckOptions& options, std::ostream& out) { return TCheck(options, out).Run(); }

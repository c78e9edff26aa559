// lumpack keygen and release.
#include "Release.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <utility>
#include <vector>

#include "Hex.h"
#include "InfoFile.h"
#include "ReleaseInputs.h"
#include "Signing.h"
#include "package/PackX.h"
#include "sys/Sha256.h"
#include "sys/Utils.h"

namespace fs = std::filesystem;

std::string KeyGen(const std::string& base, std::ostream& out) {
    const std::string privatePath = base + ".private.pem", publicPath = base + ".public.pem";
    if (auto e = MakeKeyPair(privatePath, publicPath); !e.empty()) return e;
    out << "wrote " << privatePath << " (the private key: keep it secret, mode 0600)\n"
        << "wrote " << publicPath << " (the public key: name it in the agent's manifest, [Agent] UpdateKey)\n";
    return "";
}

namespace {

class TRelease {
public:
    TRelease(const TReleaseOptions& o, std::ostream& out) : O(o), Out(out) {}
    std::string Run();

private:
    std::string CheckSetup();
    std::string CheckVersion() const;
    std::string CheckKeys();
    std::string WriteKeys();
    std::string Commit();

    const TReleaseOptions& O;
    std::ostream& Out;
    std::string Text;  // the INFO file
    TGFileInfo Setup;
    TFileDigest SetupDigest;
    std::string Signature;
};

std::string TRelease::CheckSetup() {
    if (auto e = ReadPackage(O.SetupPath, "setup", Setup); !e.empty()) return e;
    if (Setup.MultiVolume())
        return "the setup '" + O.SetupPath + "' continues in further volumes: an agent downloads one file";
    if (!Sha256OfFile(O.SetupPath, SetupDigest)) return "cannot read '" + O.SetupPath + "'";
    if (!O.AgentPath.empty()) {
        TGFileInfo agent;
        if (auto e = ReadPackage(O.AgentPath, "agent", agent); !e.empty()) return e;
        if (auto e = TokenProblem(Setup, O.SetupPath, agent, O.AgentPath); !e.empty()) return e;
    }
    return "";
}

std::string TRelease::CheckVersion() const {
    const std::string last = InfoValue(Text, kNewSetup, "VersionNew");
    if (last.empty()) return "";
    const int64_t lastVersion = TextToInt64(last, INT64_MIN);
    if (lastVersion == INT64_MIN) return O.InfoPath + ": VersionNew '" + last + "' is not a number";
    if (O.Version <= lastVersion)
        return "version " + std::to_string(O.Version) + " is not above VersionNew=" + last + " already in '" +
               O.InfoPath + "': an agent that has that version would not update";
    return "";
}

// The private key must be the one the agent verifies with; an agent that
// verifies needs a signature; and a new setup that installs an agent should
// hand the key on.
std::string TRelease::CheckKeys() {
    std::string pinned, origin;
    if (auto e = ReferenceKey(O.AgentPath, O.PublicKeyPath, pinned, origin); !e.empty()) return e;
    if (O.PrivateKeyPath.empty()) {
        if (!pinned.empty())
            return origin + " verifies the INFO file's signature: give the private key with --key";
        std::error_code ec;
        if (fs::exists(O.InfoPath + kSignatureSuffix, ec))
            return "'" + O.InfoPath + kSignatureSuffix +
                   "' would no longer match the INFO file: give the private key with --key (or delete it)";
        return "";
    }
    std::string mine;
    if (auto e = PublicKeyOfPrivate(O.PrivateKeyPath, mine); !e.empty()) return e;
    if (pinned.empty() && !O.AgentPath.empty())
        Out << "note: the agent '" << O.AgentPath << "' pins no update key: it does not check the signature\n";
    if (!pinned.empty() && mine != pinned)
        return "the private key '" + O.PrivateKeyPath + "' does not match " + origin +
               ": the agent would refuse the signature";
    if (Setup.AutoUpdateAgent() || Setup.InstallAgentCopy()) {
        std::string next;
        const bool hasKey = BytesOfHex(Setup.UpdateKey(), next) && !next.empty();
        if (!hasKey && !pinned.empty())
            return "the setup '" + O.SetupPath + "' installs an agent without an update key: the updates after it "
                   "would not be verified (give its manifest [Agent] UpdateKey)";
        if (hasKey && !pinned.empty() && next != pinned)
            Out << "note: the setup installs an agent with another update key; sign the next release with that one\n";
    }
    return "";
}

std::string TRelease::WriteKeys() {
    const int64_t lastStamp = TextToInt64(InfoValue(Text, kNewSetup, "Stamp"), 0);
    // A different stamp makes a new offer; from the clock, it also grows.
    int64_t stamp = O.Stamp;
    if (stamp == 0) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        stamp = std::max<int64_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count(), lastStamp + 1);
    } else if (stamp == lastStamp) {
        return "stamp " + std::to_string(stamp) + " is already the INFO file's: the agent would not see a new offer";
    }
    const std::string expires = O.Expires.empty() ? InfoValue(Text, kNewSetup, "Expires") : O.Expires;
    if (!expires.empty())
        if (auto e = ExpiresProblem(expires); !e.empty()) return e;

    std::vector<std::pair<const char*, std::string>> keys = {
        {"NameOfUpdateFile", fs::path(O.SetupPath).filename().string()},
        {"SizeOfUpdateFile", std::to_string(SetupDigest.Size)},
        {"SHA256OfUpdateFile", SetupDigest.Sha256},
        {"VersionNew", std::to_string(O.Version)},
        {"Stamp", std::to_string(stamp)},
    };
    if (!O.Expires.empty()) keys.emplace_back("Expires", O.Expires);
    for (const auto& [key, value] : keys)
        if (!SetInfoValue(Text, kNewSetup, key, value))
            return O.InfoPath + ": cannot write " + key + " so that the agent reads it back";
    if (!O.InformPath.empty()) {
        TFileDigest inform;
        if (!Sha256OfFile(O.InformPath, inform)) return "cannot read the inform file '" + O.InformPath + "'";
        const std::pair<const char*, std::string> informKeys[] = {
            {"NameOfInformFile", fs::path(O.InformPath).filename().string()},
            {"SizeOfInformFile", std::to_string(inform.Size)},
            {"SHA256OfInformFile", inform.Sha256},
        };
        for (const auto& [key, value] : informKeys)
            if (!SetInfoValue(Text, kAutoInformSection, key, value))
                return O.InfoPath + ": cannot write " + key + " so that the agent reads it back";
    }
    // In inform mode a keyed agent fetches the inform file only with its digest.
    if (!O.PrivateKeyPath.empty() && InfoValue(Text, "General", "AutoInform") == "1" &&
        InfoValue(Text, kAutoInformSection, "SHA256OfInformFile").empty())
        return O.InfoPath + ": inform mode (AutoInform=1) needs SHA256OfInformFile with a signature: give --inform";
    if (Text.size() > kMaxInfoBytes)
        return O.InfoPath + ": the INFO file would be larger than the " + std::to_string(kMaxInfoBytes) +
               " bytes an agent reads";
    for (const auto& [key, value] : keys) Out << "  [" << kNewSetup << "] " << key << "=" << value << "\n";
    return "";
}

// Both files are written under temporary names first: a failure before the
// renames leaves the old INFO file and its signature as they were.
std::string TRelease::Commit() {
    std::string infoTemp, sigTemp;
    if (auto e = WriteTempFile(O.InfoPath, Text, infoTemp); !e.empty()) return e;
    if (!Signature.empty()) {
        if (auto e = WriteTempFile(O.InfoPath + kSignatureSuffix, Signature, sigTemp); !e.empty()) {
            DiscardFile(infoTemp);
            return e;
        }
    }
    if (auto e = CommitFile(infoTemp, O.InfoPath); !e.empty()) {
        if (!sigTemp.empty()) DiscardFile(sigTemp);
        return e;
    }
    if (!sigTemp.empty())
        if (auto e = CommitFile(sigTemp, O.InfoPath + kSignatureSuffix); !e.empty()) return e;
    return "";
}

std::string TRelease::Run() {
    std::string why;
    if (!ReadInfoFile(O.InfoPath, Text, why)) return why;
    if (auto e = CheckSetup(); !e.empty()) return e;
    if (auto e = CheckVersion(); !e.empty()) return e;
    if (auto e = CheckKeys(); !e.empty()) return e;
    Out << "release " << O.Version << ": " << O.InfoPath << "\n";
    if (auto e = WriteKeys(); !e.empty()) return e;
    if (!O.PrivateKeyPath.empty()) {
        if (auto e = SignData(O.PrivateKeyPath, Text, Signature); !e.empty()) return e;
        std::string mine;
        if (auto e = PublicKeyOfPrivate(O.PrivateKeyPath, mine); !e.empty()) return e;
        if (auto e = VerifyData(mine, Text, Signature); !e.empty()) return "the new signature: " + e;
    }
    if (auto e = Commit(); !e.empty()) return e;
    Out << "wrote " << O.InfoPath;
    if (!Signature.empty()) Out << " and " << O.InfoPath << kSignatureSuffix;
    Out << "\nupload " << fs::path(O.SetupPath).filename().string()
        << (O.InformPath.empty() ? "" : " and " + fs::path(O.InformPath).filename().string())
        << " first, then the INFO file" << (Signature.empty() ? "" : " and its signature") << "\n";
    return "";
}

}  // namespace

std::string Release(const TReleaseOptions& options, std::ostream& out) { return TRelease(options, out).Run(); }

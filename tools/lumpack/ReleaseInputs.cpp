#include "ReleaseInputs.h"

#include <filesystem>
#include <system_error>

#include "Hex.h"
#include "Signing.h"
#include "package/PackFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTempSuffix = ".lumpack-tmp";

// The plain token, or empty when there is none or it does not unscramble
// (an agent then matches no package at all).
std::string PlainToken(const TGFileInfo& info) {
    std::string plain;
    const std::string stored = info.IdentityToken(false);
    if (stored.empty() || !UnscrambleValueChecked(stored, plain)) return "";
    return plain;
}

}  // namespace

std::string ReadPackage(const std::string& path, const char* role, TGFileInfo& info) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return "the " + std::string(role) + " '" + path + "' is not a file";
    info = TGFileInfo(path);
    if (info.Trailer.Magic != PackageMagic)
        return "the " + std::string(role) + " '" + path + "' is not a package (no package trailer)";
    return "";
}

std::string TokenProblem(const TGFileInfo& setup, const std::string& setupPath, const TGFileInfo& agent,
                         const std::string& agentPath) {
    const std::string mine = PlainToken(agent);
    if (mine.empty()) return "the agent '" + agentPath + "' has no identity token: it accepts no update";
    const std::string theirs = PlainToken(setup);
    if (theirs != mine)
        return "the setup '" + setupPath + "' has the identity token '" + theirs + "', the agent '" + agentPath +
               "' has '" + mine + "': the agent would refuse it";
    return "";
}

std::string ReferenceKey(const std::string& agentPath, const std::string& publicPath, std::string& der,
                         std::string& origin) {
    der.clear();
    if (!agentPath.empty()) {
        TGFileInfo agent;
        if (auto e = ReadPackage(agentPath, "agent", agent); !e.empty()) return e;
        const std::string hex = agent.UpdateKey();
        if (hex.empty()) return "";
        if (!BytesOfHex(hex, der)) return "the update key in the agent '" + agentPath + "' is not hex";
        origin = "the key pinned in '" + agentPath + "'";
        return "";
    }
    if (!publicPath.empty()) {
        if (auto e = ReadPublicKey(publicPath, der); !e.empty()) return e;
        origin = "'" + publicPath + "'";
    }
    return "";
}

std::string WriteTempFile(const std::string& path, const std::string& bytes, std::string& temp) {
    temp = path + kTempSuffix;
    TPackFile f;
    if (!f.Open(temp, "wb")) return "cannot create '" + temp + "'";
    if (!f.Append(bytes) || !f.Close()) {
        DiscardFile(temp);
        return "cannot write '" + temp + "'";
    }
    // A file that is replaced keeps its permissions.
    std::error_code ec;
    const auto old = fs::status(path, ec);
    if (!ec && fs::exists(old)) fs::permissions(temp, old.permissions(), ec);
    return "";
}

std::string CommitFile(const std::string& temp, const std::string& path) {
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        DiscardFile(temp);
        return "cannot rename '" + temp + "' to '" + path + "': " + ec.message();
    }
    return "";
}

void DiscardFile(const std::string& temp) {
    std::error_code ec;
    fs::remove(temp, ec);
}

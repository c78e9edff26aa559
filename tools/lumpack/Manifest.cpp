#include "Manifest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include "Hex.h"
#include "Signing.h"
#include "package/PackX.h"
#include "sys/LSUB.h"
#include "sys/Sha256.h"
#include "sys/Utils.h"

namespace fs = std::filesystem;

namespace {

struct TLine {
    int Number;
    std::string Key;    // empty for a plain line (in [Folders])
    std::string Value;
    bool HasEquals;
};

struct TSection {
    std::string Name;  // as written
    int Number;        // line of the header
    std::vector<TLine> Lines;
};

class TManifestParser {
public:
    TManifestParser(const std::string& path, TManifest& m) : Path(path), M(m) {}
    std::string Run();

private:
    std::string At(int line, const std::string& msg) const { return Path + ":" + std::to_string(line) + ": " + msg; }
    std::string Read(std::vector<TSection>& sections);
    std::string Resolve(const std::string& p) const { return (fs::path(Path).parent_path() / p).lexically_normal().string(); }
    std::string Bool(const TLine& l, bool& value) const;
    std::string PlainItem(const TLine& l) const;
    std::string CheckKeys(const TSection& s, const std::set<std::string>& known) const;
    std::string Package(const TSection& s);
    std::string Options(const TSection& s);
    std::string Settings(const TSection& s);
    std::string Internet(const TSection& s);
    std::string Agent(const TSection& s);
    std::string Language(const TSection& s, const std::string& name);
    std::string Files(const TSection& s);
    std::string Folders(const TSection& s);
    std::string AddItem(int line, const std::string& name, const std::string& source, bool folder);
    std::string Tree(int line, const fs::path& folder, const std::string& prefix);
    std::string Launch(const TSection& s);

    std::string Path;
    TManifest& M;
    std::vector<std::string> Languages;
    std::map<std::string, int> NameLines;    // upper-cased file name -> line
    std::map<std::string, int> FolderLines;  // upper-cased folder name (no final "\\") -> line
    std::string UpdateKeyHex;                // [Agent] UpdateKey, as the settings item
    int UpdateKeyLine = 0;
};

std::string Upper(const std::string& s) { return UpperCase(s); }

std::string UnquoteValue(const std::string& v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

std::string TManifestParser::Read(std::vector<TSection>& sections) {
    std::ifstream in(Path, std::ios::binary);
    if (!in) return Path + ": cannot read the manifest";
    std::map<std::string, int> seen;
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        if (number == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return At(number, "a section header must end with ']'");
            std::string name = Trim(line.substr(1, line.size() - 2));
            auto [it, fresh] = seen.emplace(Upper(name), number);
            if (!fresh) return At(number, "section [" + name + "] appears twice (first at line " + std::to_string(it->second) + ")");
            sections.push_back({name, number, {}});
            continue;
        }
        if (sections.empty()) return At(number, "a line outside any section");
        size_t eq = line.find('=');
        TLine l{number, "", "", eq != std::string::npos};
        if (l.HasEquals) {
            l.Key = Trim(line.substr(0, eq));
            l.Value = UnquoteValue(Trim(line.substr(eq + 1)));
            if (l.Key.empty()) return At(number, "a key is missing before '='");
        } else {
            l.Value = UnquoteValue(line);
        }
        sections.back().Lines.push_back(l);
    }
    return "";
}

std::string TManifestParser::Bool(const TLine& l, bool& value) const {
    const std::string v = Upper(l.Value);
    if (v == "1" || v == "YES" || v == "TRUE") value = true;
    else if (v == "0" || v == "NO" || v == "FALSE" || v.empty()) value = false;
    else return At(l.Number, l.Key + " must be 0 or 1, not '" + l.Value + "'");
    return "";
}

// A value that becomes one item of a "|"-list.
std::string TManifestParser::PlainItem(const TLine& l) const {
    if (l.Value.find('|') != std::string::npos) return At(l.Number, l.Key + " must not contain '|'");
    return "";
}

std::string TManifestParser::CheckKeys(const TSection& s, const std::set<std::string>& known) const {
    std::map<std::string, int> seen;
    for (const auto& l : s.Lines) {
        if (!l.HasEquals) return At(l.Number, "expected Key = Value in [" + s.Name + "]");
        if (!known.empty() && !known.count(Upper(l.Key)))
            return At(l.Number, "unknown key '" + l.Key + "' in [" + s.Name + "]");
        auto [it, fresh] = seen.emplace(Upper(l.Key), l.Number);
        if (!fresh) return At(l.Number, "key '" + l.Key + "' given twice (first at line " + std::to_string(it->second) + ")");
    }
    return "";
}

std::string TManifestParser::Package(const TSection& s) {
    if (auto e = CheckKeys(s, {"STUB", "OUTPUT", "VOLUMESIZE"}); !e.empty()) return e;
    for (const auto& l : s.Lines) {
        const std::string k = Upper(l.Key);
        if (k == "STUB" && !l.Value.empty()) M.Plan.StubPath = Resolve(l.Value);
        else if (k == "OUTPUT" && !l.Value.empty()) M.Output = Resolve(l.Value);
        else if (k == "VOLUMESIZE" && !ParseByteSize(l.Value, M.Plan.VolumeSize))
            return At(l.Number, "VolumeSize must be a byte count such as 1440K, 650M or 0, not '" + l.Value + "'");
    }
    return "";
}

std::string TManifestParser::Options(const TSection& s) {
    static const std::map<std::string, uint8_t> flagKeys = {
        {"CONFIRMTEMPDRIVE", pfConfirmTempDrive}, {"CDSPANNED", pfCdSpanned},
        {"SHOWACTIVITYBAR", pfShowActivityBar}, {"AGENTLOG", pfAgentLog}};
    const std::map<std::string, uint8_t*> byteKeys = {
        {"INTERNETPACKAGE", &M.Plan.InternetPackage}, {"CONFIRMDOWNLOAD", &M.Plan.ConfirmDownload},
        {"INSTALLAGENTCOPY", &M.Plan.InstallAgentCopy}, {"AUTOUPDATEAGENT", &M.Plan.AutoUpdateAgent}};
    std::set<std::string> known;
    for (const auto& [k, v] : flagKeys) known.insert(k);
    for (const auto& [k, v] : byteKeys) known.insert(k);
    if (auto e = CheckKeys(s, known); !e.empty()) return e;
    for (const auto& l : s.Lines) {
        bool on = false;
        if (auto e = Bool(l, on); !e.empty()) return e;
        const std::string k = Upper(l.Key);
        if (auto f = flagKeys.find(k); f != flagKeys.end()) {
            if (on) M.Plan.Flags |= f->second;
        } else {
            *byteKeys.at(k) = on ? 1 : 0;
        }
    }
    return "";
}

std::string TManifestParser::Settings(const TSection& s) {
    const std::vector<std::string> keys = {"UPDATELOCATION", "UPDATEINFO", "AGENTFILENAME", "IDENTITYTOKEN", "RUNHIDDEN"};
    if (auto e = CheckKeys(s, std::set<std::string>(keys.begin(), keys.end())); !e.empty()) return e;
    std::vector<std::string> items(keys.size());
    for (const auto& l : s.Lines) {
        if (auto e = PlainItem(l); !e.empty()) return e;
        size_t i = std::find(keys.begin(), keys.end(), Upper(l.Key)) - keys.begin();
        if (i == 4) {
            bool on = false;
            if (auto e = Bool(l, on); !e.empty()) return e;
            items[i] = on ? "1" : "0";
        } else {
            items[i] = (i == 3 && !l.Value.empty()) ? ScrambleValue(l.Value) : l.Value;
        }
    }
    M.Plan.SettingsBlock = "|";
    for (const auto& item : items) M.Plan.SettingsBlock += item + "|";
    return "";
}

std::string TManifestParser::Internet(const TSection& s) {
    // SetupFile is no item of its own: the file it names gives the last
    // item, its size and SHA-256, which the launcher checks the setup file
    // against before it runs it.
    const std::vector<std::string> keys = {"DOWNLOADLOCATION", "SETUPFILENAME", "ALWAYSDOWNLOAD", "IDENTITYTOKEN",
                                           "SETUPFILESIZE", "SETUPFILE"};
    if (auto e = CheckKeys(s, std::set<std::string>(keys.begin(), keys.end())); !e.empty()) return e;
    std::vector<std::string> items(keys.size());
    bool sizeGiven = false;
    std::string setupSize;
    for (const auto& l : s.Lines) {
        if (auto e = PlainItem(l); !e.empty()) return e;
        size_t i = std::find(keys.begin(), keys.end(), Upper(l.Key)) - keys.begin();
        if (i == 5) {
            const std::string file = Resolve(UnquoteValue(l.Value));
            TFileDigest digest;
            if (!fs::is_regular_file(file)) return At(l.Number, "'" + l.Value + "' is not a file");
            if (!Sha256OfFile(file, digest)) return At(l.Number, "cannot read '" + l.Value + "'");
            items[i] = FileCheckText(digest);
            setupSize = std::to_string(digest.Size);
            continue;
        }
        if (i == 4) sizeGiven = true;
        if (i == 2) {
            bool on = false;
            if (auto e = Bool(l, on); !e.empty()) return e;
            items[i] = on ? "1" : "0";
        } else if (i == 4 && l.Value.find_first_not_of("0123456789") != std::string::npos) {
            return At(l.Number, "SetupFileSize must be a decimal number of bytes");
        } else {
            items[i] = (i == 3 && !l.Value.empty()) ? ScrambleValue(l.Value) : l.Value;
        }
    }
    if (!items[5].empty()) {
        // The size shown in the download prompt is the file's, unless the
        // manifest says otherwise.
        if (!sizeGiven) items[4] = setupSize;
    } else {
        items.pop_back();  // without the file, the five items as ever
    }
    M.Plan.HasInternetBlock = true;
    M.Plan.InternetBlock = "|";
    for (const auto& item : items) M.Plan.InternetBlock += item + "|";
    return "";
}

// The update key travels in the settings block as one more item after the
// five: readers that know only five never see it.
std::string TManifestParser::Agent(const TSection& s) {
    if (auto e = CheckKeys(s, {"UPDATEKEY"}); !e.empty()) return e;
    for (const auto& l : s.Lines) {
        if (l.Value.empty()) return At(l.Number, "UpdateKey needs the public key file (PEM or DER)");
        std::string der;
        if (auto e = ReadPublicKey(Resolve(l.Value), der); !e.empty()) return At(l.Number, e);
        UpdateKeyHex = HexOfBytes(der);
        UpdateKeyLine = l.Number;
    }
    return "";
}

std::string TManifestParser::Language(const TSection& s, const std::string& name) {
    if (name.empty()) return At(s.Number, "a language section needs a name, as in [Language.English]");
    if (auto e = CheckKeys(s, {}); !e.empty()) return e;
    const std::string bad("\x01\x02", 2);
    if (name.find_first_of(bad) != std::string::npos) return At(s.Number, "bytes 0x01 and 0x02 cannot appear in a language");
    std::string list = "\x01" + name + "\x01";
    for (const auto& l : s.Lines) {
        if ((l.Key + l.Value).find_first_of(bad) != std::string::npos)
            return At(l.Number, "bytes 0x01 and 0x02 cannot appear in a language");
        list += l.Key + "=" + l.Value + "\x01";
    }
    Languages.push_back(list);
    return "";
}

// Names in the manifest may use "/" or "\\" between folders; the package uses "\\".
std::string PackageName(std::string name) { return ReplaceChar(Trim(name), '/', '\\'); }

std::string TManifestParser::AddItem(int line, const std::string& name, const std::string& source, bool folder) {
    TPackItem item;
    item.Name = name;
    item.SourcePath = source;
    item.Folder = folder;
    if (std::string why = PackNameError(name); !why.empty())
        return At(line, "'" + name + "' cannot be a name in the package: " + why);
    const std::string key = Upper(name);
    // Two lines may name one folder; a file is packed once, and never under a folder's name.
    auto& mine = folder ? FolderLines : NameLines;
    auto& other = folder ? NameLines : FolderLines;
    if (auto it = other.find(key); it != other.end())
        return At(line, "'" + name + "' is packed as a file and as a folder (also at line " +
                            std::to_string(it->second) + ")");
    for (const auto& parent : ParentFolders(name)) {
        const std::string p = Upper(parent.substr(0, parent.size() - 1));
        if (auto it = NameLines.find(p); it != NameLines.end())
            return At(line, "'" + name + "' lies in '" + parent.substr(0, parent.size() - 1) +
                                "', which is packed as a file (line " + std::to_string(it->second) + ")");
        FolderLines.emplace(p, line);
    }
    auto [it, fresh] = mine.emplace(key, line);
    if (!fresh && !folder)
        return At(line, "'" + name + "' is packed twice (also at line " + std::to_string(it->second) + ")");
    if (fresh || !folder) M.Plan.Items.push_back(item);
    return "";
}

std::string TManifestParser::Files(const TSection& s) {
    for (const auto& l : s.Lines) {
        if (!l.HasEquals) return At(l.Number, "expected NameInPackage = SourceFile, or FolderInPackage\\ =");
        std::string name = PackageName(l.Key);
        // "logs\\ =" declares a folder, empty or filled by later lines.
        if (!name.empty() && name.back() == '\\') {
            if (!l.Value.empty()) return At(l.Number, "a name ending in '\\' declares a folder: leave its value empty");
            name.pop_back();
            if (auto e = AddItem(l.Number, name, "", true); !e.empty()) return e;
            continue;
        }
        if (l.Value.empty()) return At(l.Number, "expected NameInPackage = SourceFile");
        std::string source = Resolve(l.Value);
        std::error_code ec;
        if (!fs::is_regular_file(source, ec)) return At(l.Number, "'" + l.Value + "' is not a file");
        if (auto e = AddItem(l.Number, name, source, false); !e.empty()) return e;
    }
    return "";
}

// The files and subfolders of folder, sorted, each subfolder declared before
// its content and followed into. Links to folders are not followed (a loop
// would never end).
std::string TManifestParser::Tree(int line, const fs::path& folder, const std::string& prefix) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (const auto& entry : fs::directory_iterator(folder, ec)) entries.push_back(entry);
    if (ec) return At(line, "cannot list '" + folder.string() + "': " + ec.message());
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        const std::string name = prefix + entry.path().filename().string();
        if (entry.is_directory(ec)) {
            if (entry.is_symlink(ec))
                return At(line, "'" + entry.path().string() + "' is a link to a folder, which lumpack does not follow");
            if (auto e = AddItem(line, name, "", true); !e.empty()) return e;
            if (auto e = Tree(line, entry.path(), name + "\\"); !e.empty()) return e;
        } else if (entry.is_regular_file(ec)) {
            if (auto e = AddItem(line, name, entry.path().string(), false); !e.empty()) return e;
        }
    }
    return "";
}

std::string TManifestParser::Folders(const TSection& s) {
    for (const auto& l : s.Lines) {
        const std::string path = l.Value;
        if (path.empty()) return At(l.Number, "expected a folder path alone on the line, or FolderInPackage = path");
        std::string prefix;
        if (l.HasEquals) {
            std::string under = PackageName(l.Key);
            while (!under.empty() && under.back() == '\\') under.pop_back();
            if (auto e = AddItem(l.Number, under, "", true); !e.empty()) return e;
            prefix = under + "\\";
        }
        std::string folder = Resolve(path);
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) return At(l.Number, "'" + path + "' is not a folder");
        if (auto e = Tree(l.Number, folder, prefix); !e.empty()) return e;
    }
    return "";
}

std::string TManifestParser::Launch(const TSection& s) {
    if (auto e = CheckKeys(s, {"FILE", "ARGUMENTS"}); !e.empty()) return e;
    std::string file, args;
    int fileLine = s.Number;
    for (const auto& l : s.Lines) {
        if (Upper(l.Key) == "FILE") {
            file = l.Value;
            fileLine = l.Number;
        } else {
            if (l.Value.find('|') != std::string::npos) return At(l.Number, "Arguments must not contain '|'");
            args = l.Value;
        }
    }
    if (file.empty()) return At(fileLine, "[Launch] needs File = the packed program to start");
    file = PackageName(file);
    for (auto& item : M.Plan.Items)
        if (!item.Folder && Upper(item.Name) == Upper(file)) {
            item.Launch = true;
            item.LaunchArgs = args;
            return "";
        }
    return At(fileLine, "the program to start, '" + file + "', is not among the packed files");
}

std::string TManifestParser::Run() {
    std::vector<TSection> sections;
    if (auto e = Read(sections); !e.empty()) return e;
    const TSection* launch = nullptr;
    int settingsLine = 0;
    for (const auto& s : sections) {
        const std::string u = Upper(s.Name);
        std::string e;
        if (u == "PACKAGE") e = Package(s);
        else if (u == "OPTIONS") e = Options(s);
        else if (u == "SETTINGS") e = Settings(s), settingsLine = s.Number;
        else if (u == "INTERNET") e = Internet(s);
        else if (u == "AGENT") e = Agent(s);
        else if (u == "FILES") e = Files(s);
        else if (u == "FOLDERS") e = Folders(s);
        else if (u == "LAUNCH") launch = &s;
        else if (u.rfind("LANGUAGE.", 0) == 0) e = Language(s, Trim(s.Name.substr(9)));
        else e = At(s.Number, "unknown section [" + s.Name + "]");
        if (!e.empty()) return e;
    }
    if (launch)
        if (auto e = Launch(*launch); !e.empty()) return e;
    if (!Languages.empty()) {
        M.Plan.LanguageBlock = "\x02";
        for (const auto& l : Languages) M.Plan.LanguageBlock += l + "\x02";
    }
    if (M.Plan.SettingsBlock.empty()) M.Plan.SettingsBlock = "||||||";
    if (!UpdateKeyHex.empty()) {
        // Only an agent checks the key: the agent package itself, or a setup
        // whose run writes an agent copy carrying this block.
        if (!M.Plan.AutoUpdateAgent && !M.Plan.InstallAgentCopy)
            return At(UpdateKeyLine, "UpdateKey is for a package that is an agent (AutoUpdateAgent = 1) or installs "
                                     "one (InstallAgentCopy = 1)");
        M.Plan.SettingsBlock += UpdateKeyHex + "|";
    }
    if (M.Plan.InternetPackage && !M.Plan.HasInternetBlock)
        return Path + ": InternetPackage = 1 needs an [Internet] section";
    if (M.Plan.InstallAgentCopy && SUB::Get(M.Plan.SettingsBlock, 2, "").empty())
        return At(settingsLine, "InstallAgentCopy = 1 needs AgentFileName in [Settings]");
    return "";
}

}  // namespace

bool ParseByteSize(const std::string& text, uint64_t& bytes) {
    std::string t = Upper(Trim(text));
    if (t.empty()) return false;
    uint64_t unit = 1;
    if (t.back() == 'K' || t.back() == 'M' || t.back() == 'G') {
        unit = t.back() == 'K' ? 1024ull : t.back() == 'M' ? 1024ull * 1024 : 1024ull * 1024 * 1024;
        t.pop_back();
    }
    if (t.empty() || t.size() > 12 || t.find_first_not_of("0123456789") != std::string::npos) return false;
    bytes = std::stoull(t) * unit;
    return true;
}

std::string ParseManifest(const std::string& path, TManifest& manifest) {
    manifest = TManifest{};
    return TManifestParser(path, manifest).Run();
}

#include "PackageView.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <vector>

#include "Hex.h"
#include "package/DosTime.h"
#include "package/PackEntry.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/LSUB.h"
#include "sys/Sha256.h"
#include "sys/Utils.h"

namespace fs = std::filesystem;

namespace {

std::string Hex32(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string DosTimeText(int32_t dosTime) {
    std::tm t{};
    if (!TmFromDosDateTime(dosTime, t)) return dosTime == 0 ? "(no time)" : "(bad time " + std::to_string(dosTime) + ")";
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return buf;
}

std::string TokenText(const std::string& stored) {
    if (stored.empty()) return "(none)";
    std::string plain;
    if (UnscrambleValueChecked(stored, plain)) return "'" + plain + "'";
    return "(does not unscramble: '" + stored + "')";
}

class TInspector {
public:
    TInspector(const std::string& first, TInspectMode mode, std::ostream& out, std::ostream& warn, const std::string& dest)
        : First(first), Mode(mode), Out(out), Warn(warn), Dest(dest) {}
    std::string Run();

private:
    std::string Fault(int64_t offset, const std::string& msg) const {
        return Current + ": offset " + std::to_string(offset) + ": " + msg;
    }
    std::string Volume(bool& more);
    void PrintTrailer(const TPackageTrailer& t, uint32_t sizeWord, int64_t size, bool pe, uint64_t mark,
                      uint32_t computed) const;
    void PrintBlocks(const std::vector<std::string>& blocks) const;
    std::string Extract(const TEntryFrame& frame, const TPackEntry& entry);

    std::string First;
    TInspectMode Mode;
    std::ostream& Out;
    std::ostream& Warn;
    std::string Dest;
    std::string Current;  // the volume being read
    int Number = 0;
    uint32_t Entries = 0;
    std::string LaunchRecord;
    std::map<std::string, fs::path> Written;  // upper-cased name -> file written in this run
    int Folders = 0;                          // folder entries made
};

void TInspector::PrintTrailer(const TPackageTrailer& t, uint32_t sizeWord, int64_t size, bool pe, uint64_t mark,
                              uint32_t computed) const {
    Out << "Volume " << Number << ": " << Current << "\n";
    Out << "  file size         " << size << "\n";
    TFileDigest digest;
    Out << "  SHA-256           " << (Sha256OfFile(Current, digest) ? digest.Sha256 : "(cannot read the file)") << "\n";
    Out << "  PE image          " << (pe ? "yes" : "no");
    if (pe) Out << ", package-end mark " << mark << (mark ? "" : " (end of file)");
    if (pe && mark && static_cast<int64_t>(mark) < size) Out << ", " << size - static_cast<int64_t>(mark) << " bytes after it";
    Out << "\n";
    Out << "  Tag               " << int(t.Tag) << "\n";
    Out << "  BlockCount        " << int(t.BlockCount) << "\n";
    Out << "  BlocksOffset      " << t.BlocksOffset << "\n";
    Out << "  FilesCount        " << t.FilesCount << "\n";
    Out << "  Magic             " << Hex32(t.Magic) << "\n";
    Out << "  Checksum          " << t.Checksum;
    if (t.Checksum == kUncomputedChecksum || computed == kUncomputedChecksum) Out << " (not computed)";
    else Out << (t.Checksum == computed ? " (matches)" : " (computed " + std::to_string(computed) + ")");
    Out << "\n  SpaceRequired     exact " << t.SpaceRequired[0];
    for (int i = 1; i < kSpaceClasses; ++i) Out << ", " << (256u << i) << ": " << t.SpaceRequired[i];
    Out << "\n  Flags             " << Hex32(t.Flags).substr(8) << "h";
    const std::pair<uint8_t, const char*> names[] = {{pfConfirmTempDrive, "ConfirmTempDrive"},
                                                     {pfMultiVolume, "MultiVolume"},
                                                     {pfCdSpanned, "CdSpanned"},
                                                     {pfShowActivityBar, "ShowActivityBar"},
                                                     {pfAgentLog, "AgentLog"}};
    for (const auto& [bit, name] : names)
        if (t.Flags & bit) Out << " " << name;
    Out << "\n  InternetPackage   " << int(t.InternetPackage) << "\n";
    Out << "  ConfirmDownload   " << int(t.ConfirmDownload) << "\n";
    Out << "  InstallAgentCopy  " << int(t.InstallAgentCopy) << "\n";
    Out << "  AutoUpdateAgent   " << int(t.AutoUpdateAgent) << "\n";
    Out << "  TrailerSize       " << sizeWord << "\n";
}

void TInspector::PrintBlocks(const std::vector<std::string>& blocks) const {
    TGFileInfo info;
    info.LanguageBlock = blocks.size() > 0 ? blocks[0] : "";
    info.SettingsBlock = blocks.size() > 1 ? blocks[1] : "";
    info.InternetBlock = blocks.size() > 2 ? blocks[2] : "";

    Out << "Language block (" << info.LanguageBlock.size() << " bytes)\n";
    for (int i = 0; i < SUB::Count(info.LanguageBlock); ++i) {
        std::string lang = SUB::Get(info.LanguageBlock, i, "");
        Out << "  [" << SUB::Get(lang, 0, "") << "]\n";
        for (int k = 1; k < SUB::Count(lang); ++k) Out << "    " << SUB::Get(lang, k, "") << "\n";
    }
    Out << "Settings block (" << info.SettingsBlock.size() << " bytes)\n";
    Out << "  UpdateLocation    " << info.UpdateLocation() << "\n";
    Out << "  UpdateInfo        " << SUB::Get(info.SettingsBlock, 1, "") << "\n";
    Out << "  AgentFileName     " << info.AgentFileName() << "\n";
    Out << "  IdentityToken     " << TokenText(info.IdentityToken(false)) << "\n";
    Out << "  RunHidden         " << (info.RunHidden() ? 1 : 0) << "\n";
    if (SUB::Count(info.SettingsBlock) > 5) {
        // The agent's update key: hex of its DER public key.
        const std::string key = info.UpdateKey();
        std::string der;
        Out << "  UpdateKey         ";
        if (key.empty()) Out << "(none)\n";
        else if (BytesOfHex(key, der)) Out << der.size() << "-byte public key " << key << "\n";
        else Out << "'" << key << "' (not hex: the agent accepts no update)\n";
    }
    if (blocks.size() > 2) {
        Out << "Internet block (" << info.InternetBlock.size() << " bytes)\n";
        Out << "  DownloadLocation  " << info.DownloadLocation() << "\n";
        Out << "  SetupFileName     " << info.SetupFileName() << "\n";
        Out << "  AlwaysDownload    " << (info.AlwaysDownload() ? 1 : 0) << "\n";
        Out << "  IdentityToken     " << TokenText(info.DownloadIdentityToken(false)) << "\n";
        Out << "  SetupFileSize     " << info.SetupFileSize() << "\n";
        if (SUB::Count(info.InternetBlock) > 5) {
            TFileDigest check;
            const std::string item = info.SetupFileCheck();
            Out << "  SetupFileCheck    ";
            if (ParseFileCheckText(item, check)) Out << check.Size << " bytes, SHA-256 " << check.Sha256 << "\n";
            else Out << "'" << item << "' (not a size and SHA-256: the launcher refuses every setup file)\n";
        }
    }
}

std::string TInspector::Extract(const TEntryFrame& frame, const TPackEntry& entry) {
    const std::string& name = entry.Parsed.Name;
    if (IsUnsafeEntryName(name)) {
        Warn << "lumpack: " << Fault(frame.Offset, "skipped: unsafe name '" + name + "'") << "\n";
        return "";
    }
    if (name.back() == '\\' && entry.Data.empty()) {
        // A folder entry: the launcher creates the folder, and so do we.
        std::error_code ec;
        const fs::path folder = fs::path(Dest) / ReplaceChar(name, '\\', '/');
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder)) return Fault(frame.Offset, "cannot create the folder '" + folder.string() + "'");
        ++Folders;
        return "";
    }
    const std::string key = UpperCase(name);
    auto it = Written.find(key);
    const bool append = it != Written.end();
    // Names use "\" for folders; a folder is never created for an entry, as in the launcher.
    const fs::path target = append ? it->second : fs::path(Dest) / ReplaceChar(name, '\\', '/');
    std::FILE* f = std::fopen(target.string().c_str(), append ? "ab" : "wb");
    bool ok = f && std::fwrite(entry.Data.data(), 1, entry.Data.size(), f) == entry.Data.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) return Fault(frame.Offset, "cannot save '" + target.string() + "'");
    Written[key] = target;
    std::time_t t;
    if (entry.Parsed.DosTime != 0 && TimeFromDosDateTime(entry.Parsed.DosTime, t)) {
        std::error_code ec;
        fs::last_write_time(target, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)), ec);
        if (ec) return Fault(frame.Offset, "cannot set the time of '" + target.string() + "': " + ec.message());
    }
    return "";
}

std::string TInspector::Volume(bool& more) {
    TPackFile file;
    if (!file.Open(Current)) return Current + ": cannot open the file";
    const int64_t size = file.Size();
    if (size < static_cast<int64_t>(kTrailerSize)) return Fault(0, "the file (" + std::to_string(size) + " bytes) is too short to hold a trailer");
    const bool pe = IsPEImage(file);
    const uint64_t mark = pe ? GetPackageEnd(file) : 0;
    if (mark > static_cast<uint64_t>(size))
        return Fault(kPackageEndMarkOffset, "the package-end mark " + std::to_string(mark) + " points past the end of the file (" +
                                                std::to_string(size) + " bytes)");
    const int64_t end = mark ? static_cast<int64_t>(mark) : size;
    if (end < static_cast<int64_t>(kTrailerSize)) return Fault(kPackageEndMarkOffset, "the package ends before a trailer fits");
    const int64_t trailerAt = end - kTrailerSize;

    uint32_t sizeWord = 0;
    file.ReadU32(end - 4, sizeWord);
    const TPackageTrailer t = ReadTrailer(file);
    const uint32_t computed = PackageChecksum(file, kTrailerSize);
    if (Mode == TInspectMode::List) PrintTrailer(t, sizeWord, size, pe, mark, computed);

    if (sizeWord != kTrailerSize) return Fault(end - 4, "trailer size word " + std::to_string(sizeWord) + ", expected 74");
    if (t.Magic != PackageMagic) return Fault(trailerAt + 12, "magic " + Hex32(t.Magic) + ", expected " + Hex32(PackageMagic) + ": not a package");
    if (t.BlockCount != 2 && t.BlockCount != 3) return Fault(trailerAt + 1, "BlockCount " + std::to_string(t.BlockCount) + ", expected 2 or 3");
    if (!ChecksumPasses(t.Checksum, computed))
        return Fault(trailerAt + 16, "checksum mismatch: stored " + std::to_string(t.Checksum) + ", computed " + std::to_string(computed));

    // Header blocks, then entries up to the trailer.
    std::vector<std::string> blocks;
    int64_t pos = t.BlocksOffset;
    for (int i = 0; i < t.BlockCount; ++i) {
        uint32_t n = 0;
        if (pos + 4 > trailerAt || !file.ReadU32(pos, n)) return Fault(pos, "header block " + std::to_string(i + 1) + " starts past the entries' end");
        if (static_cast<int64_t>(n) > trailerAt - pos - 4)
            return Fault(pos, "header block " + std::to_string(i + 1) + " of " + std::to_string(n) + " bytes runs past the trailer at " + std::to_string(trailerAt));
        if (n > kMaxBlockBytes)
            return Fault(pos, "header block " + std::to_string(i + 1) + " of " + std::to_string(n) + " bytes is above the " + std::to_string(kMaxBlockBytes) + " bytes a block may take");
        std::string text(n, '\0');
        if (!file.ReadExact(pos + 4, text.data(), n)) return Fault(pos, "read failed");
        blocks.push_back(text);
        pos += 4 + n;
    }
    if (Mode == TInspectMode::List) {
        PrintBlocks(blocks);
        Out << "Entries\n  " << "offset      kind    stored      data  time                 name\n";
    }
    if (Mode == TInspectMode::Extract && Number == 1) {
        std::error_code ec;
        fs::create_directories(Dest, ec);
        if (!fs::is_directory(Dest)) return Dest + ": cannot create the folder";
    }

    uint32_t volumeEntries = 0;
    while (end - pos > static_cast<int64_t>(kTrailerSize)) {
        TEntryFrame frame = ReadEntryFrame(file, pos, trailerAt);
        if (!frame.Error.empty()) return Current + ": " + frame.Error;
        // No entry inflates past what the trailer says all files hold, nor
        // past the bound every reader keeps: a "zip bomb" is a damaged package.
        const TPackEntry entry = DecodeEntry(frame, nullptr, EntryContentLimit(t.SpaceRequired[0]));
        if (!entry.Error.empty()) return Fault(pos, entry.Error);
        ++volumeEntries;
        if (!entry.Parsed.LaunchRecord.empty()) LaunchRecord = entry.Parsed.LaunchRecord;
        if (Mode == TInspectMode::List) {
            char line[96];
            std::snprintf(line, sizeof line, "  %-10lld  %-6s  %8lld  %8zu  ", static_cast<long long>(pos),
                          frame.Length > 0 ? "zlib" : frame.Length < 0 ? "stored" : "empty",
                          static_cast<long long>(frame.Next - pos - 4), entry.Data.size());
            Out << line;
            if (entry.Skipped) Out << "(skipped: no header)\n";
            else {
                Out << DosTimeText(entry.Parsed.DosTime) << "  " << entry.Parsed.Name;
                if (!entry.Parsed.LaunchRecord.empty()) Out << "   [start: " << entry.Parsed.LaunchRecord << "]";
                Out << "\n";
            }
        } else if (Mode == TInspectMode::Verify && !entry.Skipped) {
            if (IsUnsafeEntryName(entry.Parsed.Name) || NamesDevice(entry.Parsed.Name))
                return Fault(pos, "unsafe name '" + entry.Parsed.Name + "'");
            // The launcher takes the mark only from the name item; a "*"
            // elsewhere is a header no builder of ours writes.
            if (entry.Parsed.LaunchRecord.empty() && entry.Header.find('*') != std::string::npos)
                return Fault(pos, "launch mark outside the name item in '" + entry.Header + "'");
        } else if (Mode == TInspectMode::Extract && !entry.Skipped) {
            if (auto e = Extract(frame, entry); !e.empty()) return e;
        }
        pos = frame.Next;
    }
    Entries += volumeEntries;
    if (Mode == TInspectMode::Verify)
        Out << "volume " << Number << " " << Current << ": " << volumeEntries << " entries, checksum "
            << (t.Checksum == kUncomputedChecksum || computed == kUncomputedChecksum ? "not computed" : "matches") << "\n";
    more = t.Flags & pfMultiVolume;
    return "";
}

std::string TInspector::Run() {
    bool more = true;
    for (Number = 1; more; ++Number) {
        Current = VolumeFileName(First, Number);
        std::error_code ec;
        if (!fs::exists(Current, ec)) return Number == 1 ? Current + ": no such file" : Current + ": volume " + std::to_string(Number) + " is missing";
        if (auto e = Volume(more); !e.empty()) return e;
    }
    if (Mode == TInspectMode::Verify) Out << "OK: " << Number - 1 << " volume(s), " << Entries << " entries\n";
    if (Mode == TInspectMode::Extract)
        Out << "extracted " << Written.size() << " file(s)"
            << (Folders ? " and " + std::to_string(Folders) + " folder(s)" : "") << " from " << Number - 1 << " volume(s)"
            << (LaunchRecord.empty() ? "" : "; start: " + LaunchRecord) << "\n";
    return "";
}

}  // namespace

std::string InspectPackage(const std::string& firstVolume, TInspectMode mode, std::ostream& out, std::ostream& warnings,
                           const std::string& destDir) {
    return TInspector(firstVolume, mode, out, warnings, destDir).Run();
}

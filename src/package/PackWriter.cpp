#include "package/PackWriter.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <system_error>

#include "package/DosTime.h"
#include "sys/Files.h"
#include "sys/Utils.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTempSuffix = ".lumpack-tmp";
// A volume is not worth starting an entry in with less room than this for data.
constexpr uint64_t kMinEntryRoom = 1024;

struct TSource {
    const TPackItem* Item;
    uint64_t Size;
    int32_t DosTime;
};

// Folder entries end in "\" and carry no data; the extraction creates the folder.
std::string FolderEntryName(const std::string& folder) { return folder + "\\"; }

struct TVolume {
    std::string FinalName;
    std::string TempName;
    int64_t TrailerOffset = 0;
};

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    TPackFile f;
    if (!f.Open(path)) return false;
    int64_t size = f.Size();
    if (size < 0) return false;
    bytes.assign(static_cast<size_t>(size), '\0');
    return f.ReadExact(0, bytes.data(), bytes.size());
}

std::string CheckName(const TPackItem& item) {
    if (std::string why = PackNameError(item.Name); !why.empty())
        return "unsafe name in the package: '" + item.Name + "': " + why;
    if (item.Folder && item.Launch) return "the folder '" + item.Name + "' cannot be the program to start";
    if (item.LaunchArgs.find_first_of(std::string("|\0", 2)) != std::string::npos)
        return "the arguments of '" + item.Name + "' hold | or NUL";
    return "";
}

// A name cannot be a file and a folder at once ("a" and "a\b.txt").
std::string CheckFilesAgainstFolders(const std::vector<TPackItem>& items) {
    std::set<std::string> folders;
    for (const auto& item : items) {
        for (const auto& f : ParentFolders(item.Name)) folders.insert(UpperCase(f));
        if (item.Folder) folders.insert(UpperCase(FolderEntryName(item.Name)));
    }
    for (const auto& item : items)
        if (!item.Folder && folders.count(UpperCase(FolderEntryName(item.Name))))
            return "'" + item.Name + "' is packed as a file and also as a folder";
    return "";
}

std::string DescribeSource(const TPackItem& item, TSource& src) {
    std::error_code ec;
    fs::path p(item.SourcePath);
    if (!fs::is_regular_file(p, ec)) return "'" + item.SourcePath + "' is not a readable file";
    src.Size = fs::file_size(p, ec);
    if (ec) return "cannot size '" + item.SourcePath + "': " + ec.message();
    auto mtime = fs::last_write_time(p, ec);
    if (ec) return "cannot read the time of '" + item.SourcePath + "': " + ec.message();
    auto sys = std::chrono::file_clock::to_sys(mtime);
    src.DosTime = DosDateTimeFromTime(
        std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys)));
    return "";
}

// Writes the volumes, one after another, and finishes them together.
class TVolumeWriter {
public:
    TVolumeWriter(const TPackPlan& plan, const std::string& outPath, const std::string& stub, const std::string& blocks,
                  const TPackageTrailer& trailer)
        : Plan(plan), OutPath(outPath), Stub(stub), Blocks(blocks), Trailer(trailer) {}

    ~TVolumeWriter() {
        File.Close();
        if (!Committed)
            for (const auto& v : Volumes) {
                std::error_code ec;
                fs::remove(v.TempName, ec);
            }
    }

    std::string Write(const std::vector<TSource>& sources, TPackReport& report);

private:
    std::string StartVolume();
    std::string EndVolume(bool more);
    std::string WriteSource(const TSource& src, TPackReport& report);
    std::string WriteFolders(const TPackItem& item, TPackReport& report);
    std::string Finish(TPackReport& report);
    uint64_t Room() const;
    void FitEntry(const std::string& header, const std::string& chunk, uint64_t overhead, uint64_t& take,
                  std::string& entry) const;

    const TPackPlan& Plan;
    const std::string& OutPath;
    const std::string& Stub;
    const std::string& Blocks;
    TPackageTrailer Trailer;
    std::vector<TVolume> Volumes;
    TPackFile File;
    uint64_t Written = 0;  // bytes of the open volume
    bool Committed = false;
    std::set<std::string> FoldersWritten;  // upper-cased, with the final "\"
    uint32_t FileItems = 0;
    uint64_t TotalInput = 0;  // bytes of all files, for the progress
};

uint64_t TVolumeWriter::Room() const {
    if (Plan.VolumeSize == 0) return UINT64_MAX;
    const uint64_t used = Written + kTrailerSize;
    return used >= Plan.VolumeSize ? 0 : Plan.VolumeSize - used;
}

std::string TVolumeWriter::StartVolume() {
    TVolume v;
    v.FinalName = VolumeFileName(OutPath, static_cast<int>(Volumes.size()) + 1);
    v.TempName = v.FinalName + kTempSuffix;
    Volumes.push_back(v);
    if (!File.Open(v.TempName, "w+b")) return "cannot create '" + v.TempName + "'";
    const bool first = Volumes.size() == 1;
    Trailer.BlocksOffset = first ? static_cast<uint32_t>(Stub.size()) : 0;
    if ((first && !File.Append(Stub)) || !File.Append(Blocks)) return "cannot write '" + v.TempName + "'";
    Written = (first ? Stub.size() : 0) + Blocks.size();
    if (Room() < kMinEntryRoom + 64)
        return "VolumeSize " + std::to_string(Plan.VolumeSize) + " is too small: the " +
               (first ? "stub, header blocks" : "header blocks") + " and trailer alone take " +
               std::to_string(Written + kTrailerSize) + " bytes";
    return "";
}

std::string TVolumeWriter::EndVolume(bool more) {
    TPackageTrailer t = Trailer;
    if (more) t.Flags |= pfMultiVolume;
    Volumes.back().TrailerOffset = static_cast<int64_t>(Written);
    if (!File.Append(TrailerBytes(t)) || !File.Close()) return "cannot write '" + Volumes.back().TempName + "'";
    Written += kTrailerSize;
    return "";
}

// Shrinks the entry to the room left in the volume: a few guesses scaled by
// the compression seen so far, then the size that fits even when stored (a
// compressed entry is only ever smaller than the stored one).
void TVolumeWriter::FitEntry(const std::string& header, const std::string& chunk, uint64_t overhead, uint64_t& take,
                             std::string& entry) const {
    const uint64_t room = Room();
    const uint64_t storedFit = room - overhead;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const double scale = static_cast<double>(room) / static_cast<double>(entry.size()) * 0.97;
        const uint64_t guess = std::min<uint64_t>(take - 1, static_cast<uint64_t>(static_cast<double>(take) * scale));
        if (guess <= storedFit) break;
        std::string candidate = EncodeEntry(header, chunk.data(), static_cast<size_t>(guess), Plan.Level);
        take = guess;
        entry = std::move(candidate);
        if (entry.size() <= room) return;
    }
    take = storedFit;
    entry = EncodeEntry(header, chunk.data(), static_cast<size_t>(take), Plan.Level);
}

std::string TVolumeWriter::WriteSource(const TSource& src, TPackReport& report) {
    const TPackItem& item = *src.Item;
    TPackFile in;
    if (!in.Open(item.SourcePath)) return "cannot open '" + item.SourcePath + "'";
    std::string chunk;
    uint64_t pos = 0;
    bool first = true;
    do {
        const std::string header = MakeEntryHeader(item.Name, src.DosTime, item.Launch && first, item.LaunchArgs);
        const uint64_t overhead = 4 + header.size() + 1;
        uint64_t take = std::min<uint64_t>(src.Size - pos, Plan.MaxEntryData);
        if (Room() < overhead + std::min<uint64_t>(take, kMinEntryRoom)) {
            if (std::string e = EndVolume(true); !e.empty()) return e;
            if (std::string e = StartVolume(); !e.empty()) return e;
            if (Room() < overhead + std::min<uint64_t>(take, kMinEntryRoom))
                return "VolumeSize " + std::to_string(Plan.VolumeSize) + " leaves no room for an entry of '" +
                       item.Name + "'";
        }
        chunk.resize(static_cast<size_t>(take));
        if (!in.ReadExact(static_cast<int64_t>(pos), chunk.data(), chunk.size()))
            return "'" + item.SourcePath + "' changed while it was packed (it is shorter than " +
                   std::to_string(src.Size) + " bytes)";
        std::string entry = EncodeEntry(header, chunk.data(), chunk.size(), Plan.Level);
        if (entry.size() > Room()) FitEntry(header, chunk, overhead, take, entry);
        if (!File.Append(entry)) return "cannot write '" + Volumes.back().TempName + "'";
        Written += entry.size();
        pos += take;
        first = false;
        ++report.Entries;
        if (Plan.Progress) Plan.Progress(report.InputBytes + pos, TotalInput);
    } while (pos < src.Size);
    report.InputBytes += src.Size;
    return "";
}

// Every folder the item needs (and the item itself when it is a folder) that
// has no entry yet, outermost first.
std::string TVolumeWriter::WriteFolders(const TPackItem& item, TPackReport& report) {
    std::vector<std::string> folders = ParentFolders(item.Name);
    if (item.Folder) folders.push_back(FolderEntryName(item.Name));
    for (const auto& folder : folders) {
        if (!FoldersWritten.insert(UpperCase(folder)).second) continue;
        const std::string entry = EncodeEntry(MakeEntryHeader(folder, 0), "", 0, Plan.Level);
        if (Room() < entry.size()) {
            if (std::string e = EndVolume(true); !e.empty()) return e;
            if (std::string e = StartVolume(); !e.empty()) return e;
        }
        if (!File.Append(entry)) return "cannot write '" + Volumes.back().TempName + "'";
        Written += entry.size();
        ++report.Entries;
        ++report.Folders;
    }
    return "";
}

// Patches what is known only at the end: FilesCount (one progress step per
// file, one per folder entry and one per further volume), the package-end mark of the first
// volume, and each volume's checksum; then renames the volumes into place.
std::string TVolumeWriter::Finish(TPackReport& report) {
    const uint32_t filesCount = static_cast<uint32_t>(FileItems + report.Folders + Volumes.size() - 1);
    for (size_t i = 0; i < Volumes.size(); ++i) {
        const TVolume& v = Volumes[i];
        TPackFile f;
        if (!f.Open(v.TempName, "r+b")) return "cannot reopen '" + v.TempName + "'";
        bool ok = f.WriteAt(v.TrailerOffset + 8, U32Bytes(filesCount).data(), 4);
        const int64_t size = f.Size();
        if (i == 0) {
            const uint64_t end = static_cast<uint64_t>(size);
            ok = ok && f.WriteAt(kPackageEndMarkOffset, U32Bytes(static_cast<uint32_t>(end >> 32)).data(), 4) &&
                 f.WriteAt(kPackageEndMarkOffset + 4, U32Bytes(static_cast<uint32_t>(end)).data(), 4);
        }
        const uint32_t sum = PackageChecksum(f, kTrailerSize);
        ok = ok && f.WriteAt(v.TrailerOffset + 16, U32Bytes(sum).data(), 4) && f.Close();
        if (!ok) return "cannot finish '" + v.TempName + "'";
        report.OutputBytes += static_cast<uint64_t>(size);
    }
    for (const auto& v : Volumes) {
        std::error_code ec;
        fs::rename(v.TempName, v.FinalName, ec);
        if (ec) return "cannot rename '" + v.TempName + "' to '" + v.FinalName + "': " + ec.message();
        report.Volumes.push_back(v.FinalName);
    }
    Committed = true;
    return "";
}

std::string TVolumeWriter::Write(const std::vector<TSource>& sources, TPackReport& report) {
    for (const auto& src : sources) TotalInput += src.Size;
    if (std::string e = StartVolume(); !e.empty()) return e;
    for (const auto& src : sources) {
        if (std::string e = WriteFolders(*src.Item, report); !e.empty()) return e;
        if (src.Item->Folder) continue;
        ++FileItems;
        if (std::string e = WriteSource(src, report); !e.empty()) return e;
    }
    if (std::string e = EndVolume(false); !e.empty()) return e;
    return Finish(report);
}

}  // namespace

std::array<uint32_t, kSpaceClasses> ComputeSpaceRequired(const std::vector<uint64_t>& fileSizes) {
    std::array<uint32_t, kSpaceClasses> result{};
    for (int i = 0; i < kSpaceClasses; ++i) {
        const uint64_t cluster = i == 0 ? 1 : (256ull << i);
        uint64_t sum = 0;
        for (uint64_t size : fileSizes) sum += (size + cluster - 1) / cluster * cluster;
        result[i] = static_cast<uint32_t>(std::min<uint64_t>(sum, UINT32_MAX));
    }
    return result;
}

std::string PackNameError(const std::string& name) {
    if (name.empty()) return "the name is empty";
    if (name.find_first_of(std::string("/|*\0", 4)) != std::string::npos)
        return "'/', '|', '*' and NUL cannot appear in a name (folders are separated by '\\')";
    if (IsUnsafeEntryName(name))
        return "an absolute, drive, UNC, ':' or '..' name would lead outside the extraction folder";
    if (NamesDevice(name)) return "a part of the name is a device name";
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find('\\', start), name.size());
        const std::string part = name.substr(start, end - start);
        if (part.empty()) return "a folder part is empty (a name never begins or ends with '\\' nor holds '\\\\')";
        if (part.back() == '.' || part.back() == ' ')
            return "the part '" + part + "' ends in '.' or a blank, which Windows drops";
        if (end == name.size()) return "";
        start = end + 1;
    }
}

std::vector<std::string> ParentFolders(const std::string& name) {
    std::vector<std::string> out;
    for (size_t p = name.find('\\'); p != std::string::npos; p = name.find('\\', p + 1))
        out.push_back(name.substr(0, p + 1));
    return out;
}

std::string BlockBytes(const std::string& text) { return U32Bytes(static_cast<uint32_t>(text.size())) + text; }

bool SetPackageEndMark(std::string& image, uint64_t packageEnd) {
    if (image.size() < static_cast<size_t>(kPackageEndMarkOffset + 8)) return false;
    PutU32(image, kPackageEndMarkOffset, static_cast<uint32_t>(packageEnd >> 32));
    PutU32(image, kPackageEndMarkOffset + 4, static_cast<uint32_t>(packageEnd));
    return true;
}

std::string WritePackage(const TPackPlan& plan, const std::string& outPath, TPackReport* report) {
    TPackReport local;
    TPackReport& rep = report ? *report : local;
    rep = TPackReport{};

    std::string stub;
    if (!ReadWholeFile(plan.StubPath, stub)) return "cannot read the stub '" + plan.StubPath + "'";
    TMemorySource stubSource(stub);
    if (!IsPEImage(stubSource))
        return "the stub '" + plan.StubPath + "' is not a PE image with its PE header at offset 256";
    if (GetPackageEndOfImage(stub) != 0)
        return "the stub '" + plan.StubPath + "' already carries a package (its package-end mark is set)";
    if (stub.size() > UINT32_MAX) return "the stub '" + plan.StubPath + "' is larger than 4 GiB";
    if (plan.MaxEntryData == 0 || plan.MaxEntryData > kMaxEntryData) return "entry size must be 1 byte to 4 MiB";

    std::vector<TSource> sources;
    std::vector<uint64_t> sizes;
    for (const auto& item : plan.Items) {
        if (std::string e = CheckName(item); !e.empty()) return e;
        TSource src{&item, 0, 0};
        if (!item.Folder) {
            if (std::string e = DescribeSource(item, src); !e.empty()) return e;
            sizes.push_back(src.Size);
        }
        sources.push_back(src);
    }
    if (std::string e = CheckFilesAgainstFolders(plan.Items); !e.empty()) return e;

    std::string blocks = BlockBytes(plan.LanguageBlock) + BlockBytes(plan.SettingsBlock);
    if (plan.HasInternetBlock) blocks += BlockBytes(plan.InternetBlock);
    // The extraction writes the agent copy (stub, blocks, trailer) beside the files.
    if (plan.InstallAgentCopy) sizes.push_back(stub.size() + blocks.size() + kTrailerSize);

    TPackageTrailer trailer{};
    trailer.Tag = 1;
    trailer.BlockCount = plan.HasInternetBlock ? 3 : 2;
    trailer.Magic = PackageMagic;
    trailer.Checksum = kUncomputedChecksum;
    const auto space = ComputeSpaceRequired(sizes);
    for (int i = 0; i < kSpaceClasses; ++i) trailer.SpaceRequired[i] = space[i];
    trailer.Flags = plan.Flags & (pfConfirmTempDrive | pfCdSpanned | pfShowActivityBar | pfAgentLog);
    trailer.InternetPackage = plan.InternetPackage;
    trailer.ConfirmDownload = plan.ConfirmDownload;
    trailer.InstallAgentCopy = plan.InstallAgentCopy;
    trailer.AutoUpdateAgent = plan.AutoUpdateAgent;
    trailer.TrailerSize = kTrailerSize;

    try {
        TVolumeWriter writer(plan, outPath, stub, blocks, trailer);
        return writer.Write(sources, rep);
    } catch (const std::exception& e) {
        return std::string("packing failed: ") + e.what();
    }
}

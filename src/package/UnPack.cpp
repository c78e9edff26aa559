// UnPack: the volume loop, the entry loop, the agent copy and the reports.
#include "package/UnPack.h"

#include <algorithm>

#include "package/PackEntry.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"

namespace {

constexpr size_t kReadPiece = 65536;
constexpr unsigned kSettleMs = 500;
// The entry loop stops when no more than a trailer's worth remains.
constexpr int64_t kTrailerRoom = 74;
constexpr size_t kMarkLowWordOffset = 252;

int gSaveErrors = 0;

// The whole part of value: "%.0f" of its floor.
std::string WholeNumber(double value)
{
    // From 2^52 on every double is whole already.
    constexpr double kAllWhole = 4503599627370496.0;
    if (value > -kAllWhole && value < kAllWhole) {
        const double whole = static_cast<double>(static_cast<int64_t>(value));
        value = whole > value ? whole - 1 : whole;
    }
    return FixedText(value, 0);
}

class TExtraction {
public:
    TExtraction(const TExtractArgs& args, TExtractSystem& system) : A(args), S(system), Pump(system.QueuePump()) {}

    void Run(bool& checksumOK, std::string& launchRecord);

private:
    enum class TVolumeEnd { Next, Finish };

    TVolumeEnd ExtractVolume(const std::string& path);
    // False when the package is damaged and the extraction must stop.
    bool ExtractEntries(TPackFile& file, const TPackageTrailer& trailer, int64_t position, int64_t end);
    void WriteEntry(const TEntryView& entry);
    void WriteAgent(TPackFile& file);
    bool AskForVolume(const std::string& path);

    void Progress(int kind, int max) const
    {
        if (A.Progress) A.Progress(kind, 0, max, 0, 1, "");
    }
    std::string Pid() const { return IntText(S.ProcessId()); }
    // Counts the failure; the first one in the process is reported. The size
    // of what is at the target is asked only for a target inside DestDir.
    void SaveFailed(const std::string& target, const std::string& reason, size_t dataSize, bool targetInside = true);

    const TExtractArgs& A;
    TExtractSystem& S;
    InflateYieldFn Pump;

    int Volume = 1;
    TPackageTrailer Trailer{};
    int64_t HeaderEnd = 0;
    bool ChecksumOK = false;
    bool Continue = true;
    bool Damaged = false;
    std::string LaunchRecord;

    // Kept from entry to entry, so that their storage is allocated once.
    TEntryFrame Frame;
    TByteBuffer Content;
};

void TExtraction::Run(bool& checksumOK, std::string& launchRecord)
{
    const uint64_t started = S.TickCount();
    Progress(0, 0);
    for (;;) {
        const std::string path = VolumeFileName(A.SourcePath, Volume);
        if (ExtractVolume(path) == TVolumeEnd::Finish) break;
        if (!(Trailer.Flags & pfMultiVolume)) break;
        ++Volume;
        if (!AskForVolume(VolumeFileName(A.SourcePath, Volume))) break;
    }
    if (!Continue || Damaged) LaunchRecord.clear();
    checksumOK = ChecksumOK;
    launchRecord = LaunchRecord;
    Trace(Cat({"UnCompressTime: ", IntText(S.TickCount() - started), " MS"}));
    Trace("");
    S.WaitPumping(kSettleMs);
}

TExtraction::TVolumeEnd TExtraction::ExtractVolume(const std::string& path)
{
    // A missing volume keeps the trailer of the one before.
    TPackFile file;
    if (!S.FileExists(path) || !file.Open(path)) return TVolumeEnd::Next;

    Trailer = ReadTrailer(file);
    if (Volume == 1) Trace("FileInfo.FilesCount=" + IntText(Trailer.FilesCount));
    ChecksumOK = ChecksumPasses(Trailer.Checksum, PackageChecksum(file, Trailer.TrailerSize));
    if (!ChecksumOK) return TVolumeEnd::Finish;

    const int64_t end = PackageLimit(file);
    Trace("FileLen=" + IntText(end));
    if (Trailer.Magic != PackageMagic) {
        // Bytes that are no trailer steer nothing: the first volume carries
        // no package (and no stray bit asks for a next disk); a later one
        // makes the package damaged.
        Trailer = TPackageTrailer{};
        if (Volume == 1) return TVolumeEnd::Next;
        Damaged = true;
        ChecksumOK = false;
        return TVolumeEnd::Finish;
    }
    if (Volume == 1) Progress(0, static_cast<int>(std::min<uint32_t>(Trailer.FilesCount, INT32_MAX)));
    if (A.DestDir.empty() || !S.ForceFolders(A.DestDir))
        S.ShowError(Cat({A.DestDir, "<P><P>Unable to create Directory!<P><P>", S.SysErrorText()}));

    if (!ExtractEntries(file, Trailer, Trailer.BlocksOffset, end)) {
        Damaged = true;
        ChecksumOK = false;
        return TVolumeEnd::Finish;
    }
    if (Volume == 1 && !NamePart(A.AgentName).empty() && SourceCarriesStub(A.SourcePath)) WriteAgent(file);
    return TVolumeEnd::Next;
}

bool TExtraction::ExtractEntries(TPackFile& file, const TPackageTrailer& trailer, int64_t position, int64_t end)
{
    // Entries must end where the trailer begins; ReadEntryFrame also holds
    // every length against the file's real size before it allocates.
    const int64_t limit = end - static_cast<int64_t>(trailer.TrailerSize);
    const size_t contentLimit = EntryContentLimit(trailer.SpaceRequired[0]);
    int index = 0;
    while (end - position > kTrailerRoom) {
        if (Pump) Pump();
        ReadEntryFrame(file, position, limit, Pump, Frame);
        if (!Frame.Error.empty()) {
            Trace(Cat({Pid(), " Damaged package: ", Frame.Error}));
            return false;
        }
        position = Frame.Next;
        ++index;
        if (index == trailer.BlockCount) HeaderEnd = position;
        if (index <= trailer.BlockCount) continue;  // a header block

        // A damaged stream, or one that inflates past what the package says
        // all its files hold, is a damaged package: nothing of it is written.
        const TEntryView entry = DecodeEntryView(Frame, Content, Pump, contentLimit);
        if (!entry.Error.empty()) {
            Trace(Cat({Pid(), " Damaged package: entry at offset ", IntText(Frame.Offset), ": EZLibError: ",
                       entry.Error}));
            return false;
        }
        if (!entry.Skipped) WriteEntry(entry);
    }
    return true;
}

void TExtraction::WriteEntry(const TEntryView& entry)
{
    const std::string& name = entry.Parsed.Name;
    const std::string target = JoinPath(A.DestDir, name);

    if (IsUnsafeEntryName(name) || NamesDevice(name)) {
        // Its launch mark is skipped with it: the program to start must be one
        // of the extracted files, never a path outside the folder.
        Trace(Cat({Pid(), " Damaged entry skipped: ", name}));
        SaveFailed(target, "The name leads outside the extraction folder.", entry.Data.size(), false);
        return;
    }
    if (!entry.Parsed.LaunchRecord.empty()) LaunchRecord = entry.Parsed.LaunchRecord;
    const char last = name.back();
    if ((last == '\\' || last == '/') && entry.Data.empty()) {
        // A declared folder, so that the entries of files inside it can be written.
        if (!S.FolderExists(target)) Progress(1, 0);
        if (!S.ForceFolders(target)) SaveFailed(target, S.SysErrorText(), 0);
        return;
    }
    // One step for every file this entry brings into being; the next part of
    // a file, already there, does not step.
    bool existed = false;
    const uint32_t time = static_cast<uint32_t>(entry.Parsed.DosTime);
    const bool saved = S.WriteDataFile(target, entry.Data, time, true, existed);
    const std::string error = saved ? "" : S.SysErrorText();
    if (!existed) Progress(1, 0);
    if (!saved) SaveFailed(target, error, entry.Data.size());
}

void TExtraction::SaveFailed(const std::string& target, const std::string& reason, size_t dataSize,
                             bool targetInside)
{
    if (++gSaveErrors != 1) return;
    const int64_t fileSize = targetInside ? S.FileSize(target) : 0;
    const double free = S.DiskFreeBytes(targetInside ? target : A.DestDir);
    S.ShowError(Cat({target, "<P><P>Unable to save Extracted File!<P><P>", reason, "<P>", "  Data Size: <T>",
                     IntText(dataSize), " Bytes<P>", "  File Size:  <T>", IntText(fileSize),
                     " Bytes<P>", "  Bytes Free: <T>", WholeNumber(free), " Bytes"}));
}

void TExtraction::WriteAgent(TPackFile& file)
{
    // The stub image and the header blocks, then the trailer marked as agent:
    // the copy ends with its trailer, so its package-end mark is cleared.
    TPackageTrailer trailer = ReadTrailer(file);
    std::string image(static_cast<size_t>(std::max<int64_t>(HeaderEnd, 0)), '\0');
    if (image.size() < kMarkLowWordOffset + 4 || ReadChunked(file, 0, image, Pump) < 0) {
        Trace(Pid() + " New AU-Agent: no stub image to copy");
        return;
    }
    PutU32(image, kMarkLowWordOffset, 0);
    trailer.AutoUpdateAgent = 1;
    trailer.TrailerSize = kTrailerSize;
    image += TrailerBytes(trailer);
    const std::string path = JoinPath(A.DestDir, NamePart(A.AgentName));
    bool existed = false;
    S.WriteDataFile(path, image, S.FileDosTime(A.SourcePath), false, existed);
    Trace(Cat({Pid(), " New AU-Agent: ", path}));
}

bool TExtraction::AskForVolume(const std::string& path)
{
    S.RegisterAutoPlayCancel();
    if (A.AlwaysPrompt || !S.FileExists(path)) {
        S.EjectCD(path);
        do {
            Continue = S.AskOkCancel(DiskPromptText(A.DiskPrompt, Volume), A.PromptCaption, A.Charset, A.ButtonTexts);
            S.WaitPumping(kSettleMs);
        } while (Continue && !S.FileExists(path));
    }
    Progress(1, 0);
    return Continue;
}

}  // namespace

void ExtractPackage(const TExtractArgs& args, TExtractSystem& system, bool& ChecksumOK, std::string& LaunchRecord)
{
    ChecksumOK = false;
    LaunchRecord.clear();
    TExtraction(args, system).Run(ChecksumOK, LaunchRecord);
}

int64_t ReadChunked(TPackSource& file, int64_t offset, std::string& buffer, InflateYieldFn pump)
{
    if (buffer.empty()) return 0;
    for (size_t done = 0; done < buffer.size();) {
        const size_t want = std::min(kReadPiece, buffer.size() - done);
        const size_t got = file.ReadAt(offset + static_cast<int64_t>(done), buffer.data() + done, want);
        if (got == 0) return -1;
        done += got;
        if (pump) pump();
    }
    return static_cast<int64_t>(buffer.size());
}

std::string DiskPromptText(const std::string& prompt, int volume)
{
    return ReplaceText(prompt, "<DISK_NUM>", IntText(volume), 0, 0, true);
}

bool SourceCarriesStub(const std::string& sourcePath)
{
    return EndsWith(sourcePath, ".exe", true) || EndsWith(sourcePath, ".exe.001", true);
}

int SaveErrorCount() { return gSaveErrors; }
void ResetSaveErrorCount() { gSaveErrors = 0; }

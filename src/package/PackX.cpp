#include "package/PackX.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "sys/Files.h"
#include "sys/LSUB.h"
#include "sys/Utils.h"

std::string TrailerBytes(const TPackageTrailer& trailer) {
    std::string bytes(kTrailerSize, '\0');
    std::memcpy(bytes.data(), &trailer, kTrailerSize);
    return bytes;
}

TPackageTrailer TrailerFromBytes(std::string_view bytes) {
    TPackageTrailer t{};
    std::memcpy(&t, bytes.data(), std::min<size_t>(bytes.size(), kTrailerSize));
    return t;
}

bool IsPEImage(TPackSource& file) {
    char b[2];
    if (!file.ReadExact(0, b, 2) || b[0] != 'M' || b[1] != 'Z') return false;
    return file.ReadExact(kPEHeaderOffset, b, 2) && b[0] == 'P' && b[1] == 'E';
}

bool IsPEImage(const std::string& fileName) {
    TPackFile f;
    return f.Open(fileName) && IsPEImage(f);
}

uint64_t GetPackageEnd(TPackSource& file) {
    uint32_t high = 0, low = 0;
    if (!file.ReadU32(kPackageEndMarkOffset, high) || !file.ReadU32(kPackageEndMarkOffset + 4, low)) return 0;
    return (static_cast<uint64_t>(high) << 32) | low;
}

uint64_t GetPackageEndOfImage(std::string_view imageStart) {
    if (imageStart.size() < static_cast<size_t>(kPackageEndMarkOffset + 8)) return 0;
    uint64_t high = GetU32(imageStart, kPackageEndMarkOffset);
    return (high << 32) | GetU32(imageStart, kPackageEndMarkOffset + 4);
}

int64_t PackageLimit(TPackSource& file) {
    int64_t size = file.Size();
    if (size <= 0) return 0;
    if (IsPEImage(file)) {
        uint64_t mark = GetPackageEnd(file);
        if (mark > 0) return mark > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(mark);
    }
    return size;
}

TPackageTrailer ReadTrailer(TPackSource& file) {
    TPackageTrailer t{};
    const int64_t size = file.Size();
    const bool pe = IsPEImage(file);

    // The size word is the last word of the trailer; the trailer ends at the
    // end of the file, or at the package-end mark when one is set (a signed
    // package carries its certificate table after the trailer).
    uint32_t n = 0;
    int64_t end = size;
    file.ReadU32(size - 4, n);
    if (pe) {
        uint64_t mark = GetPackageEnd(file);
        if (mark > 0) {
            // A mark beyond the file leaves nothing to read: the trailer stays zero.
            end = mark > static_cast<uint64_t>(size) ? -1 : static_cast<int64_t>(mark);
            n = 0;
            if (end >= 4) file.ReadU32(end - 4, n);
        }
    }
    // A longer trailer (a later format) is read from its start, as far as this
    // record goes; a shorter one fills only its first n - 4 bytes.
    const int64_t start = end - static_cast<int64_t>(n);
    const uint32_t kept = std::min(n, kTrailerSize);
    if (kept > 4 && start >= 0) file.ReadAt(start, &t, kept - 4);

    t.TrailerSize = kept;
    if (t.BlockCount == 0) t.BlockCount = 2;
    return t;
}

TPackageTrailer ReadTrailer(const std::string& fileName) {
    TPackFile f;
    if (!f.Open(fileName)) {
        TPackageTrailer t{};
        t.BlockCount = 2;
        return t;
    }
    return ReadTrailer(f);
}

uint32_t PackageChecksum(TPackSource& file, uint32_t trailerSize) {
    const int64_t size = file.Size();
    if (size < 0 || size > kChecksumMaxFileSize) return kUncomputedChecksum;

    int64_t end = size;
    int64_t from = 0;
    bool marked = false;
    if (IsPEImage(file)) {
        uint32_t low = 0;
        file.ReadU32(kPackageEndMarkOffset + 4, low);
        if (low != 0) {
            end = low;
            marked = true;
        }
    }
    // The header that holds the mark is not summed: the mark is written after the sum.
    int64_t remaining = end - static_cast<int64_t>(trailerSize);
    if (marked) {
        remaining -= 512;
        from = 512;
    }

    uint32_t sum = 0;
    std::vector<unsigned char> piece(4096);
    for (int64_t pos = from;; pos += 4096) {
        size_t got = file.ReadAt(pos, piece.data(), piece.size());
        for (size_t i = 0; i + 4 <= got; i += 4) {
            remaining -= 4;
            if (remaining > 4)
                sum += piece[i] | (piece[i + 1] << 8) | (piece[i + 2] << 16) | (static_cast<uint32_t>(piece[i + 3]) << 24);
        }
        if (remaining > 4) sum += kUncomputedChecksum;
        if (got < piece.size()) break;
    }
    return sum;
}

uint32_t PackageChecksum(const std::string& fileName, uint32_t trailerSize) {
    TPackFile f;
    if (!f.Open(fileName)) return 0;
    return PackageChecksum(f, trailerSize);
}

bool ChecksumPasses(uint32_t stored, uint32_t computed) {
    return stored == computed || stored == kUncomputedChecksum || computed == kUncomputedChecksum;
}

// ---- TGFileInfo ---------------------------------------------------------------

TGFileInfo::TGFileInfo(const std::string& fileName) {
    TPackFile f;
    if (f.Open(fileName)) Load(f);
}

TGFileInfo::TGFileInfo(TPackSource& file) { Load(file); }

// Reads one header block at Trailer.BlocksOffset and advances past it. A block
// that does not fit before the package end, or is larger than any builder
// writes, is not read (and its length is
// never used to size a buffer); false then, and the later blocks stay empty.
static bool ReadBlock(TPackSource& file, int64_t limit, uint32_t& offset, std::string& block) {
    uint32_t n = 0;
    const int64_t at = offset;
    if (at + 4 > limit || !file.ReadU32(at, n)) return false;
    if (static_cast<int64_t>(n) > limit - at - 4 || n > kMaxBlockBytes) return false;
    std::string bytes(n, '\0');
    if (!file.ReadExact(at + 4, bytes.data(), n)) return false;
    block = std::move(bytes);
    offset += n + 4;
    return true;
}

void TGFileInfo::Load(TPackSource& file) {
    Trailer = ReadTrailer(file);
    if (Trailer.Magic != PackageMagic) {
        // Not a package, or a damaged one: none of its bytes may steer the
        // run (a stray agent byte would make a resident agent of a broken
        // setup), so the file counts as carrying no package at all.
        Trailer = TPackageTrailer{};
        return;
    }
    const int64_t limit = PackageLimit(file);
    uint32_t offset = Trailer.BlocksOffset;
    if (ReadBlock(file, limit, offset, LanguageBlock) && ReadBlock(file, limit, offset, SettingsBlock) &&
        Trailer.BlockCount >= 3)
        ReadBlock(file, limit, offset, InternetBlock);
    Trailer.BlocksOffset = offset;
}

double TGFileInfo::RequiredSpace(const std::string& path, ClusterSizeFn clusterSize) const {
    const uint64_t c = clusterSize ? clusterSize(path) : 0;
    uint32_t result = Trailer.SpaceRequired[0];
    for (int i = 1; i < kSpaceClasses; ++i)
        if (c >= (256ull << i)) result = Trailer.SpaceRequired[i];
    return static_cast<double>(result);
}

std::string VolumeBasePath(const std::string& firstVolume) {
    const size_t n = firstVolume.size();
    if (n >= 4 && firstVolume.compare(n - 4, 4, ".001") == 0) return firstVolume.substr(0, n - 4);
    return firstVolume;
}

std::string VolumeFileName(const std::string& firstVolume, int number) {
    if (number <= 1) return firstVolume;
    std::string digits = IntText(number);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return Cat({VolumeBasePath(firstVolume), ".", digits});
}

std::string TGFileInfo::UpdateLocation() const { return SUB::Get(SettingsBlock, 0, ""); }
std::string TGFileInfo::UpdateInfoName() const { return NamePart(SUB::Get(SettingsBlock, 1, "")); }

std::string TGFileInfo::OriginalInfoName() const {
    std::string name = UpdateInfoName();
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name + ".original";
}

std::string TGFileInfo::AgentFileName() const { return SUB::Get(SettingsBlock, 2, ""); }

std::string TGFileInfo::IdentityToken(bool unscramble) const {
    std::string v = SUB::Get(SettingsBlock, 3, "");
    return unscramble ? UnscrambleValue(v) : v;
}

bool TGFileInfo::RunHidden() const { return SUB::Get(SettingsBlock, 4, "") == "1"; }
std::string TGFileInfo::UpdateKey() const { return SUB::Get(SettingsBlock, 5, ""); }
std::string TGFileInfo::DownloadLocation() const { return SUB::Get(InternetBlock, 0, ""); }
std::string TGFileInfo::SetupFileName() const { return SUB::Get(InternetBlock, 1, ""); }
bool TGFileInfo::AlwaysDownload() const { return SUB::Get(InternetBlock, 2, "") == "1"; }

std::string TGFileInfo::DownloadIdentityToken(bool unscramble) const {
    std::string v = SUB::Get(InternetBlock, 3, "");
    return unscramble ? UnscrambleValue(v) : v;
}

std::string TGFileInfo::SetupFileSize() const { return SUB::Get(InternetBlock, 4, ""); }
std::string TGFileInfo::SetupFileCheck() const { return SUB::Get(InternetBlock, 5, ""); }

// The package format and its reader, TGFileInfo.
//
// A package is the stub executable with its setup appended. All integers are
// little-endian; offsets count from the start of the file.
//
//   offset 0   +----------------------------------+
//              | stub image (first volume only)   |  "MZ" at 0
//              |   248: u32 package end, high     |  the package-end mark: offset of
//              |   252: u32 package end, low      |  the byte after the trailer, 0 = EOF
//              |   256: "PE\0\0" header ...       |
//  Blocks-     +----------------------------------+
//  Offset ---> | u32 n | language block, n bytes   |  0x02-list of 0x01-lists
//              | u32 n | settings block, n bytes   |  "|"-list of 5 items (6: + update key)
//              | u32 n | Internet block, n bytes   |  only when BlockCount >= 3
//              +----------------------------------+
//              | i32 L | entry body, |L| bytes     |  L > 0: zlib stream
//              | i32 L | entry body                |  L < 0: stored bytes, L = 0: empty
//              | ...                               |  content: "|name|dosTime|" NUL data
//              +----------------------------------+
//              | TPackageTrailer, 74 bytes         |  TrailerSize (74) is its last word
//  package --> +----------------------------------+
//  end         | anything else                     |  e.g. the certificate table of a
//              | (only with the mark set)          |  package signed after it was built
//              +----------------------------------+
//
// Further volumes (".002", ".003" ...) carry no stub: header blocks, entries,
// trailer, and their trailer is the file's last 74 bytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "package/PackFile.h"

static_assert(std::endian::native == std::endian::little, "the trailer is read as raw little-endian bytes");

constexpr uint32_t PackageMagic = 0x4A3B2C1D;
constexpr uint32_t kTrailerSize = 74;
constexpr uint32_t kUncomputedChecksum = 1234;
// Files above this size are never summed: every package with a stub image is larger.
constexpr int64_t kChecksumMaxFileSize = 51200;
constexpr int64_t kPackageEndMarkOffset = 248;  // high word; the low word follows at 252
constexpr int64_t kPEHeaderOffset = 256;
constexpr int kSpaceClasses = 9;  // entry 0 exact, entry i for clusters of 256 * 2^i bytes
// Header blocks hold a few texts; a reader takes none larger than this.
constexpr uint32_t kMaxBlockBytes = 64u << 20;

// Trailer flag bits.
constexpr uint8_t pfConfirmTempDrive = 0x01;
constexpr uint8_t pfMultiVolume = 0x02;
constexpr uint8_t pfCdSpanned = 0x04;
constexpr uint8_t pfShowActivityBar = 0x08;
constexpr uint8_t pfAgentLog = 0x10;

#pragma pack(push, 1)
struct TPackageTrailer {
    uint8_t Tag;            // written as 1
    uint8_t BlockCount;     // 2 or 3; a stored 0 reads as 2
    uint8_t Reserved1[2];
    uint32_t BlocksOffset;  // offset of header block 1 in this volume
    uint32_t FilesCount;    // the range of the extraction's progress bar
    uint32_t Magic;         // PackageMagic
    uint32_t Checksum;      // PackageChecksum, or 1234 for "not computed"
    uint8_t Reserved2[8];
    uint32_t SpaceRequired[kSpaceClasses];
    uint8_t Reserved3;
    uint8_t Flags;            // pf... bits
    uint8_t InternetPackage;  // the setup file is downloaded, the package carries none
    uint8_t ConfirmDownload;
    uint8_t InstallAgentCopy;
    uint8_t AutoUpdateAgent;
    uint32_t TrailerSize;  // 74
};
#pragma pack(pop)

static_assert(sizeof(TPackageTrailer) == kTrailerSize);
static_assert(offsetof(TPackageTrailer, Tag) == 0);
static_assert(offsetof(TPackageTrailer, BlockCount) == 1);
static_assert(offsetof(TPackageTrailer, Reserved1) == 2);
static_assert(offsetof(TPackageTrailer, BlocksOffset) == 4);
static_assert(offsetof(TPackageTrailer, FilesCount) == 8);
static_assert(offsetof(TPackageTrailer, Magic) == 12);
static_assert(offsetof(TPackageTrailer, Checksum) == 16);
static_assert(offsetof(TPackageTrailer, Reserved2) == 20);
static_assert(offsetof(TPackageTrailer, SpaceRequired) == 28);
static_assert(offsetof(TPackageTrailer, Reserved3) == 64);
static_assert(offsetof(TPackageTrailer, Flags) == 65);
static_assert(offsetof(TPackageTrailer, InternetPackage) == 66);
static_assert(offsetof(TPackageTrailer, ConfirmDownload) == 67);
static_assert(offsetof(TPackageTrailer, InstallAgentCopy) == 68);
static_assert(offsetof(TPackageTrailer, AutoUpdateAgent) == 69);
static_assert(offsetof(TPackageTrailer, TrailerSize) == 70);

// The trailer as its 74 file bytes, and back (short input leaves zeros).
std::string TrailerBytes(const TPackageTrailer& trailer);
TPackageTrailer TrailerFromBytes(std::string_view bytes);

// Finds the trailer through the package-end mark (or at the end of the file)
// and reads it. Never fails: what cannot be read stays zero.
TPackageTrailer ReadTrailer(TPackSource& file);
TPackageTrailer ReadTrailer(const std::string& fileName);

// "MZ" at 0 and then "PE" at the fixed offset 256.
bool IsPEImage(TPackSource& file);
bool IsPEImage(const std::string& fileName);

// The raw 64-bit package-end mark at 248/252 (0 when it cannot be read).
// Meaningful only for a PE image.
uint64_t GetPackageEnd(TPackSource& file);
uint64_t GetPackageEndOfImage(std::string_view imageStart);

// Where the package of a volume ends: the mark of a PE image when it is set,
// else the file's size. 0 for an empty or unreadable file.
int64_t PackageLimit(TPackSource& file);

// The additive checksum of a volume (1234 for files above 51,200 bytes).
uint32_t PackageChecksum(TPackSource& file, uint32_t trailerSize);
uint32_t PackageChecksum(const std::string& fileName, uint32_t trailerSize);
// A volume passes when the sums agree or either of them is 1234.
bool ChecksumPasses(uint32_t stored, uint32_t computed);

// Bytes per cluster of the drive of path (its first three characters), 0 when
// unknown. The system call of this unit; natively it always answers 0.
uint32_t GetClusterSize(const std::string& path);
using ClusterSizeFn = uint32_t (*)(const std::string& path);

// The value-scrambling form of identity tokens. A value that does not
// unscramble gives a random number text of at most five digits, so it never
// equals another value.
std::string UnscrambleValue(const std::string& value);
// The same without the random fallback: false when the value does not unscramble.
bool UnscrambleValueChecked(const std::string& value, std::string& plain);
// The builder's inverse: UnscrambleValue(ScrambleValue(t)) == t for every t.
std::string ScrambleValue(const std::string& plain);

// Splits the text of a token file ("|token|x|y|rest", possibly scrambled with
// ScrambleText): first the unscrambled token, second the rest.
std::pair<std::string, std::string> SplitTokenText(const std::string& text);

// The read-only view of a package: its trailer and header blocks. After
// construction Trailer.BlocksOffset is the offset of the first file entry.
class TGFileInfo {
public:
    TPackageTrailer Trailer{};
    std::string LanguageBlock;
    std::string SettingsBlock;
    std::string InternetBlock;

    TGFileInfo() = default;
    explicit TGFileInfo(const std::string& fileName);
    explicit TGFileInfo(TPackSource& file);

    // Bytes the installation needs on the drive of path, by its cluster size.
    double RequiredSpace(const std::string& path, ClusterSizeFn clusterSize = GetClusterSize) const;

    bool ConfirmTempDrive() const { return Trailer.Flags & pfConfirmTempDrive; }
    bool MultiVolume() const { return Trailer.Flags & pfMultiVolume; }
    bool CdSpanned() const { return Trailer.Flags & pfCdSpanned; }
    bool ShowActivityBar() const { return Trailer.Flags & pfShowActivityBar; }
    bool AgentLog() const { return Trailer.Flags & pfAgentLog; }
    uint8_t InternetPackage() const { return Trailer.InternetPackage; }
    uint8_t ConfirmDownload() const { return Trailer.ConfirmDownload; }
    uint8_t InstallAgentCopy() const { return Trailer.InstallAgentCopy; }
    uint8_t AutoUpdateAgent() const { return Trailer.AutoUpdateAgent; }

    std::string UpdateLocation() const;
    std::string UpdateInfoName() const;
    std::string OriginalInfoName() const;
    std::string AgentFileName() const;
    std::string IdentityToken(bool unscramble) const;
    bool RunHidden() const;
    // Item 5, written by our builder for a package that is or installs an
    // update agent: the public key that signs its update feed, as hex of its
    // DER SubjectPublicKeyInfo; empty when the block has none. Later items,
    // if a builder writes any, are not read.
    std::string UpdateKey() const;

    std::string DownloadLocation() const;
    std::string SetupFileName() const;
    bool AlwaysDownload() const;
    std::string DownloadIdentityToken(bool unscramble) const;
    std::string SetupFileSize() const;
    // Item 5, written by our builder when it was given the setup file:
    // "<size>:<SHA-256>" of it (sys/Sha256.h); empty when the block has none.
    std::string SetupFileCheck() const;

private:
    void Load(TPackSource& file);
};

// Volume files: the first volume is the package itself; volume n >= 2 is the
// base path (the first volume's name without a final ".001", any case) + "."
// + n in three digits (".002", ".003" ...).
std::string VolumeBasePath(const std::string& firstVolume);
std::string VolumeFileName(const std::string& firstVolume, int number);

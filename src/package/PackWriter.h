// Writing packages: the stub image with its package-end mark, the header
// blocks, one entry per file part and the trailer, over one or more volumes.
// Portable; lumpack is its user.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/PackEntry.h"
#include "package/PackX.h"

struct TPackItem {
    std::string Name;        // name in the package, relative; folder parts separated by "\"
    std::string SourcePath;  // file on disk; unused for a folder
    bool Folder = false;     // a declared folder (Name without the final "\"), written even when empty
    bool Launch = false;     // the program to start after extraction
    std::string LaunchArgs;  // its arguments
};

struct TPackPlan {
    std::string StubPath;
    std::string LanguageBlock;
    std::string SettingsBlock;
    bool HasInternetBlock = false;
    std::string InternetBlock;
    uint8_t Flags = 0;  // pf... bits except pfMultiVolume, which the writer sets
    uint8_t InternetPackage = 0;
    uint8_t ConfirmDownload = 0;
    uint8_t InstallAgentCopy = 0;
    uint8_t AutoUpdateAgent = 0;
    uint64_t VolumeSize = 0;  // 0: one volume
    uint32_t MaxEntryData = kMaxEntryData;
    int Level = 9;
    std::vector<TPackItem> Items;
    // Called after every entry written: bytes of the files packed so far, and of all.
    std::function<void(uint64_t done, uint64_t total)> Progress;
};

struct TPackReport {
    std::vector<std::string> Volumes;
    uint64_t InputBytes = 0;
    uint64_t OutputBytes = 0;
    uint32_t Entries = 0;
    uint32_t Folders = 0;  // folder entries among Entries
};

// Why name (of a file, or of a folder without its final "\") cannot be a
// name in the package, or the empty text. Folder parts are separated by
// "\"; absolute, drive, UNC, ":" and ".." names are refused, as are empty
// parts, parts ending in "." or a blank (Windows drops those, so two names
// would meet), device names and the bytes | * NUL and "/".
std::string PackNameError(const std::string& name);

// The folders that must exist before name can be extracted: "a\", "a\b\"
// for "a\b\c.txt", outermost first.
std::vector<std::string> ParentFolders(const std::string& name);

// Writes the package as outPath (and outPath's ".002" ... volumes). Every
// volume is written under a temporary name and renamed only when all were
// written, so a failure leaves nothing under the output names. The
// extraction creates no folder for a file, so every folder a name holds gets
// a folder entry ("sub\", no data) before the first entry inside it, and a
// declared folder gets one where it stands. Returns the empty text on
// success, else the error.
std::string WritePackage(const TPackPlan& plan, const std::string& outPath, TPackReport* report = nullptr);

// SpaceRequired for files of these sizes: entry 0 the exact sum, entry i the
// sum with each file rounded up to clusters of 256 * 2^i bytes. Sums above
// 4 GiB are held at 0xFFFFFFFF.
std::array<uint32_t, kSpaceClasses> ComputeSpaceRequired(const std::vector<uint64_t>& fileSizes);

// A header block: 32-bit length and the text.
std::string BlockBytes(const std::string& text);

// The 64-bit package-end mark written into a stub image (high word at 248,
// low word at 252). false when the image is too short to hold it.
bool SetPackageEndMark(std::string& image, uint64_t packageEnd);

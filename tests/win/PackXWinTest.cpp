// PackX on Windows: the cluster size of a drive, and a signed package read
// through the Windows C library (the e2e scenario test_signed_package signs
// one with osslsigncode and runs the SignedPackage test on it).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "package/PackEntry.h"
#include "package/PackX.h"

namespace {

// A drive letter that names no drive in this session, or 0.
char UnusedDrive() {
    const DWORD drives = GetLogicalDrives();
    for (char d = 'Y'; d >= 'H'; --d)
        if (!(drives & (1u << (d - 'A')))) return d;
    return 0;
}

TEST(GetClusterSize, SystemDriveAndAMissingOne) {
    const uint32_t c = GetClusterSize("C:\\windows\\temp\\SETUP_1");
    EXPECT_GE(c, 512u);
    EXPECT_EQ(c & (c - 1), 0u) << c;  // sectors per cluster times bytes per sector: a power of two
    const char unused = UnusedDrive();
    ASSERT_NE(unused, 0);
    EXPECT_EQ(GetClusterSize(std::string(1, unused) + ":\\setup"), 0u);
}

TEST(GetClusterSize, RequiredSpacePicksTheEntryOfTheDrive) {
    TGFileInfo info;
    for (int i = 0; i < kSpaceClasses; ++i) info.Trailer.SpaceRequired[i] = 1000 + i;
    const uint32_t c = GetClusterSize("C:\\");
    int expected = 0;
    for (int i = 1; i < kSpaceClasses; ++i)
        if (c >= (256u << i)) expected = i;
    EXPECT_EQ(info.RequiredSpace("C:\\"), 1000.0 + expected) << c;
    const char unused = UnusedDrive();
    EXPECT_EQ(info.RequiredSpace(std::string(1, unused) + ":\\"), 1000.0);
}

TEST(SignedPackage, ReadsThroughTheMark) {
    const char* path = std::getenv("LUM_SIGNED_PACKAGE");
    const char* token = std::getenv("LUM_SIGNED_TOKEN");
    if (!path || !token) GTEST_SKIP() << "run by the e2e scenario test_signed_package";

    TGFileInfo info(path);
    ASSERT_EQ(info.Trailer.Magic, PackageMagic);
    EXPECT_EQ(info.IdentityToken(true), token);
    EXPECT_EQ(info.AgentFileName(), "SignedAgent.exe");
    EXPECT_TRUE(info.ShowActivityBar());

    // The certificate table follows the package; the entries end at its trailer.
    TPackFile f;
    ASSERT_TRUE(f.Open(path));
    ASSERT_TRUE(IsPEImage(f));
    const int64_t end = PackageLimit(f);
    EXPECT_GT(f.Size(), end);
    EXPECT_TRUE(ChecksumPasses(info.Trailer.Checksum, PackageChecksum(f, info.Trailer.TrailerSize)));
    int64_t pos = info.Trailer.BlocksOffset;
    std::string launch;
    int entries = 0;
    while (end - pos > static_cast<int64_t>(kTrailerSize)) {
        TEntryFrame frame = ReadEntryFrame(f, pos, end - kTrailerSize);
        ASSERT_EQ(frame.Error, "");
        TPackEntry e = DecodeEntry(frame);
        if (!e.Parsed.LaunchRecord.empty()) launch = e.Parsed.LaunchRecord;
        ++entries;
        pos = frame.Next;
    }
    EXPECT_EQ(pos, end - static_cast<int64_t>(kTrailerSize));
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(launch, "Engine.exe* /signed");
}

}  // namespace

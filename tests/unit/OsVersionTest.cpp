// Naming the Windows version.
#include <gtest/gtest.h>

#include "sys/OsVersion.h"

namespace {

TOsVersionRecord Rec(uint32_t major, uint32_t minor, uint32_t build, uint32_t platform, bool is64 = false,
                     bool isServer = false)
{
    TOsVersionRecord r;
    r.major = major;
    r.minor = minor;
    r.build = build;
    r.platformId = platform;
    r.is64 = is64;
    r.isServer = isServer;
    return r;
}

TEST(OsVersion, NamingTable)
{
    const struct {
        TOsVersionRecord rec;
        std::string version, name;
        uint32_t code;
    } cases[] = {
        {Rec(4, 0, 950, kPlatformWin9x), "4.0", "95", kOs95},
        {Rec(4, 10, 2222, kPlatformWin9x), "4.10", "98", kOs98},
        {Rec(4, 10, 3000, kPlatformWin9x), "4.90", "ME", kOsME},
        {Rec(4, 90, 3000, kPlatformWin9x), "4.90", "ME", kOsME},
        {Rec(4, 3, 1, kPlatformWin9x), "4.3", "9x", kOs95},
        {Rec(3, 1, 0, kPlatformWin32s), "3.1", "32S", 0},
        {Rec(4, 0, 1381, kPlatformNT), "4.0", "NT", kOsNT},
        {Rec(3, 51, 1057, kPlatformNT), "3.51", "NTx", kOsNT},
        {Rec(5, 0, 2195, kPlatformNT), "5.0", "2000", kOs2000},
        {Rec(5, 1, 2600, kPlatformNT), "5.1", "XP", kOsXP},
        {Rec(5, 2, 3790, kPlatformNT), "5.2", "2003", kOs2003},
        {Rec(5, 2, 3790, kPlatformNT, true), "5.2", "XP.64", kOsXP64},
        {Rec(5, 2, 3790, kPlatformNT, true, true), "5.2", "XP.64", kOsXP64},  // 64-bit Server 2003
        {Rec(6, 0, 6002, kPlatformNT), "6.0", "Vista", kOsVista},
        {Rec(6, 0, 6002, kPlatformNT, true), "6.0", "Vista.64", kOsVista64},
        {Rec(6, 0, 6002, kPlatformNT, false, true), "6.0", "2008", kOs2008},
        {Rec(6, 0, 6002, kPlatformNT, true, true), "6.0", "2008.64", kOs2008_64},
        {Rec(6, 1, 7601, kPlatformNT), "6.1", "7", kOs7},
        {Rec(6, 1, 7601, kPlatformNT, true), "6.1", "7.64", kOs7_64},
        {Rec(6, 1, 7601, kPlatformNT, false, true), "6.1", "7", kOs7},  // only 6.0 has a 32-bit server name
        {Rec(6, 1, 7601, kPlatformNT, true, true), "6.1", "2008R2.64", kOs2008R2_64},
        {Rec(6, 2, 9200, kPlatformNT), "6.2", "8", kOs8},
        {Rec(6, 2, 9200, kPlatformNT, true, true), "6.2", "2012.64", kOs2012_64},
        {Rec(6, 3, 9600, kPlatformNT, true), "6.3", "8.1.64", kOs8_1_64},
        {Rec(6, 3, 9600, kPlatformNT, true, true), "6.3", "2012R2.64", kOs2012R2_64},
        {Rec(10, 0, 19041, kPlatformNT), "10.0", "10", kOs10},
        {Rec(10, 0, 19041, kPlatformNT, true), "10.0", "10.64", kOs10_64},
        {Rec(10, 0, 17763, kPlatformNT, true, true), "10.0", "10.64", kOs10_64},
        {Rec(11, 0, 1, kPlatformNT, true), "11.0", "NTx", kOsNT},
        {Rec(10, 0, 1, 3), "10.0", "", 0},
    };
    for (const auto& c : cases) {
        const TOsVersionInfo info = DescribeOsVersion(c.rec);
        EXPECT_EQ(info.version, c.version) << c.name;
        EXPECT_EQ(info.name, c.name) << c.version;
        EXPECT_EQ(info.code, c.code) << c.name;
    }
}

TEST(OsVersion, BuildAndServicePack)
{
    TOsVersionRecord xp = Rec(5, 1, 2600, kPlatformNT);
    xp.servicePack = "  Service Pack 3 ";
    const TOsVersionInfo info = DescribeOsVersion(xp);
    EXPECT_EQ(info.servicePack, "Service Pack 3");
    EXPECT_EQ(info.build, 2600u);
    // The 9x family keeps the version in the build's high word.
    EXPECT_EQ(DescribeOsVersion(Rec(4, 10, (4u << 24) | (10u << 16) | 2222u, kPlatformWin9x)).build, 2222u);
    EXPECT_EQ(DescribeOsVersion(Rec(4, 10, (4u << 24) | (10u << 16) | 3000u, kPlatformWin9x)).name, "ME");
}

TEST(OsVersion, Predicates)
{
    const struct {
        TOsVersionRecord rec;
        bool nt, xp, eightOrLater;
    } cases[] = {
        {Rec(4, 10, 2222, kPlatformWin9x), false, false, false}, {Rec(5, 1, 2600, kPlatformNT), true, true, false},
        {Rec(5, 2, 3790, kPlatformNT), true, false, false},      {Rec(6, 1, 7601, kPlatformNT), true, false, false},
        {Rec(6, 2, 9200, kPlatformNT), true, false, true},       {Rec(10, 0, 19041, kPlatformNT), true, false, true},
        {Rec(6, 10, 0, kPlatformNT), true, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNT(c.rec), c.nt);
        EXPECT_EQ(IsWindowsXP(c.rec), c.xp);
        EXPECT_EQ(IsWindows8OrLater(c.rec), c.eightOrLater) << c.rec.major << "." << c.rec.minor;
    }
}

// Windows 8 and later report 6.2 to undeclared programs; kernel32's version tells the truth.
TEST(OsVersion, KernelVersionReplacesTheReportedOne)
{
    const TOsVersionRecord reported = Rec(6, 2, 9200, kPlatformNT, true);
    TOsVersionRecord r = WithKernelVersion(reported, "10.0.19041.1");
    EXPECT_EQ(r.major, 10u);
    EXPECT_EQ(r.minor, 0u);
    EXPECT_EQ(r.build, 19041u);
    EXPECT_TRUE(r.is64);
    EXPECT_EQ(DescribeOsVersion(r).name, "10.64");

    r = WithKernelVersion(reported, "10.0.19041.1 (WinBuild.160101.0800)");
    EXPECT_EQ(r.build, 19041u);
    r = WithKernelVersion(Rec(6, 3, 9600, kPlatformNT), "6.3.9600.17031");
    EXPECT_EQ(r.build, 9600u);

    const struct {
        TOsVersionRecord rec;
        std::string kernel;
    } unchanged[] = {
        {reported, ""}, {reported, "abc"}, {reported, "10.0"}, {reported, "0.0.1.1"}, {reported, "10..19041"},
        {Rec(6, 1, 7601, kPlatformNT), "10.0.19041.1"},  // older systems report truly
        {Rec(4, 10, 2222, kPlatformWin9x), "10.0.19041.1"},
    };
    for (const auto& c : unchanged) {
        const TOsVersionRecord got = WithKernelVersion(c.rec, c.kernel);
        EXPECT_EQ(got.major, c.rec.major) << c.kernel;
        EXPECT_EQ(got.minor, c.rec.minor) << c.kernel;
        EXPECT_EQ(got.build, c.rec.build) << c.kernel;
    }
}

}  // namespace

// Naming the Windows version. The platform side (UtilsWin) fills a
// TOsVersionRecord from the system once; everything decided from it is
// here, as pure functions, so every generation can be tested anywhere.
#pragma once

#include <cstdint>
#include <string>

// Platform ids of the OS version record.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWin9x = 1;
constexpr uint32_t kPlatformNT = 2;

// What the system reports, plus the two answers the naming needs.
struct TOsVersionRecord {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;        // on the 9x family only the low word counts
    uint32_t platformId = 0;   // kPlatform...
    std::string servicePack;   // the record's service-pack text, as reported
    bool is64 = false;         // IsWindows64()
    bool isServer = false;     // SM_SERVERR2, or product type server / domain controller
};

// One bit per Windows generation (the OS code of GetOsVersion).
enum : uint32_t {
    kOs95 = 0x1,  // also any other 9x version
    kOs98 = 0x2,
    kOsME = 0x4,
    kOsNT = 0x8,  // NT 4 and any NT version not named below
    kOs2000 = 0x10,
    kOsXP = 0x20,
    kOs2003 = 0x40,
    kOsVista = 0x80,
    kOsXP64 = 0x100,
    kOsVista64 = 0x200,
    kOs7 = 0x400,
    kOs7_64 = 0x800,
    kOs2008 = 0x1000,
    kOs2008_64 = 0x2000,
    kOs2008R2_64 = 0x4000,
    kOs8 = 0x8000,
    kOs8_64 = 0x10000,
    kOs2012_64 = 0x20000,
    kOs8_1 = 0x40000,
    kOs8_1_64 = 0x80000,
    kOs2012R2_64 = 0x100000,
    kOs10 = 0x200000,
    kOs10_64 = 0x400000,
};

// The answer of GetOsVersion.
struct TOsVersionInfo {
    std::string version;      // major + "." + minor, e.g. "6.1"
    std::string name;         // "XP", "7.64", "2008R2.64", "" for an unknown platform
    std::string servicePack;  // trimmed
    uint32_t build = 0;
    uint32_t code = 0;        // one kOs... bit, 0 for Win32s and unknown platforms
};

// The naming table: "95", "98", "ME", "9x", "NT", "2000", "XP", "2003",
// "Vista", "7", "8", "8.1", "10", "NTx" and their ".64" and server editions.
// A 64-bit Server 2003 is "XP.64", a server on 10.0 is "10.64".
TOsVersionInfo DescribeOsVersion(const TOsVersionRecord& rec);

// Windows 8 and later report 6.2 to programs that do not declare them, so the
// version of kernel32.dll ("ProductVersion", e.g. "10.0.19041.1") is the
// better source there. Returns the record with major, minor and build taken
// from that text when the record is NT 6.2 or later and the text holds three
// numbers with a non-zero major; otherwise the record unchanged.
TOsVersionRecord WithKernelVersion(const TOsVersionRecord& rec, const std::string& kernelProductVersion);

bool IsNT(const TOsVersionRecord& rec);                // platform id 2
bool IsWindowsXP(const TOsVersionRecord& rec);         // NT 5.1
bool IsWindows8OrLater(const TOsVersionRecord& rec);   // NT 6.2 or above

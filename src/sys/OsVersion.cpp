// Naming the Windows version from the OS version record.
#include "sys/OsVersion.h"

#include "sys/LSUB.h"
#include "sys/Utils.h"

namespace {

struct TOsName {
    const char* version;
    const char* name;
    uint32_t code;
};

// NT generations, then their 64-bit and server editions. Later tables
// override earlier ones.
constexpr TOsName kNtNames[] = {
    {"4.0", "NT", kOsNT},       {"5.0", "2000", kOs2000}, {"5.1", "XP", kOsXP},   {"5.2", "2003", kOs2003},
    {"6.0", "Vista", kOsVista}, {"6.1", "7", kOs7},       {"6.2", "8", kOs8},     {"6.3", "8.1", kOs8_1},
    {"10.0", "10", kOs10},
};
constexpr TOsName kNt64Names[] = {
    {"5.2", "XP.64", kOsXP64}, {"6.0", "Vista.64", kOsVista64}, {"6.1", "7.64", kOs7_64},
    {"6.2", "8.64", kOs8_64},  {"6.3", "8.1.64", kOs8_1_64},    {"10.0", "10.64", kOs10_64},
};
constexpr TOsName kServer64Names[] = {
    {"6.0", "2008.64", kOs2008_64},
    {"6.1", "2008R2.64", kOs2008R2_64},
    {"6.2", "2012.64", kOs2012_64},
    {"6.3", "2012R2.64", kOs2012R2_64},
};
constexpr TOsName kServer32Names[] = {
    {"6.0", "2008", kOs2008},
};

template <size_t N>
void Match(const TOsName (&table)[N], TOsVersionInfo& info)
{
    for (const auto& row : table) {
        if (info.version == row.version) {
            info.name = row.name;
            info.code = row.code;
            return;
        }
    }
}

bool AtLeast(const TOsVersionRecord& rec, uint32_t major, uint32_t minor)
{
    return rec.major > major || (rec.major == major && rec.minor >= minor);
}

}  // namespace

TOsVersionInfo DescribeOsVersion(const TOsVersionRecord& rec)
{
    TOsVersionInfo info;
    info.version = Cat({IntText(rec.major), ".", IntText(rec.minor)});
    info.servicePack = Trim(rec.servicePack);
    info.build = rec.build;

    switch (rec.platformId) {
    case kPlatformWin32s:
        info.name = "32S";
        info.code = 0;
        break;
    case kPlatformWin9x:
        // The 9x family keeps version numbers in the build's high word.
        info.build = rec.build & 0xFFFF;
        // Windows ME reports 4.10 with build 3000.
        if (info.version == "4.10" && info.build == 3000) info.version = "4.90";
        if (info.version == "4.0") {
            info.name = "95";
            info.code = kOs95;
        } else if (info.version == "4.10") {
            info.name = "98";
            info.code = kOs98;
        } else if (info.version == "4.90") {
            info.name = "ME";
            info.code = kOsME;
        } else {
            info.name = "9x";
            info.code = kOs95;
        }
        break;
    case kPlatformNT:
        info.name = "NTx";
        info.code = kOsNT;
        Match(kNtNames, info);
        if (rec.is64) Match(kNt64Names, info);
        if (rec.isServer) {
            if (rec.is64)
                Match(kServer64Names, info);
            else
                Match(kServer32Names, info);
        }
        break;
    default:
        info.name = "";
        info.code = 0;
        break;
    }
    return info;
}

TOsVersionRecord WithKernelVersion(const TOsVersionRecord& rec, const std::string& kernelProductVersion)
{
    if (!IsNT(rec) || !AtLeast(rec, 6, 2)) return rec;
    // The leading "10.0.19041.1" of the text; anything after it (such as a
    // build label in brackets) is not part of the number.
    const std::string text = Trim(kernelProductVersion);
    size_t end = 0;
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.' || text[end] == ','))
        ++end;
    const std::string list = Cat({".", ReplaceChar(text.substr(0, end), ',', '.'), "."});
    int64_t numbers[3];
    for (int i = 0; i < 3; ++i) {
        numbers[i] = TextToInt64(SUB::Get(list, i, ""), -1);
        if (numbers[i] < 0 || numbers[i] > 0xFFFFFFFFLL) return rec;
    }
    if (numbers[0] == 0) return rec;
    TOsVersionRecord out = rec;
    out.major = static_cast<uint32_t>(numbers[0]);
    out.minor = static_cast<uint32_t>(numbers[1]);
    out.build = static_cast<uint32_t>(numbers[2]);
    return out;
}

bool IsNT(const TOsVersionRecord& rec) { return rec.platformId == kPlatformNT; }

bool IsWindowsXP(const TOsVersionRecord& rec) { return IsNT(rec) && rec.major == 5 && rec.minor == 1; }

bool IsWindows8OrLater(const TOsVersionRecord& rec) { return IsNT(rec) && AtLeast(rec, 6, 2); }

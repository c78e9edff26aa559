// The package reader: finding and reading the trailer, the header blocks,
// the checksum, the space table, and the value scrambling of tokens.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/PackWriter.h"
#include "package/PackX.h"
#include "sys/Utils.h"

namespace {

constexpr size_t kStub = 1024;

std::string PEStub() {
    std::string s(kStub, '\0');
    s[0] = 'M', s[1] = 'Z';
    s.replace(256, 4, std::string("PE\0\0", 4));
    return s;
}

TPackageTrailer GoodTrailer(uint32_t blocksOffset, uint8_t blockCount = 2) {
    TPackageTrailer t{};
    t.Tag = 1;
    t.BlockCount = blockCount;
    t.BlocksOffset = blocksOffset;
    t.FilesCount = 7;
    t.Magic = PackageMagic;
    t.Checksum = kUncomputedChecksum;
    for (int i = 0; i < kSpaceClasses; ++i) t.SpaceRequired[i] = 1000 + i;
    t.Flags = pfConfirmTempDrive | pfAgentLog;
    t.InternetPackage = 1;
    t.AutoUpdateAgent = 1;
    t.TrailerSize = kTrailerSize;
    return t;
}

const std::string kSettings = "|http://u/loc/|http://u/dir/info.v2.ini|Agent.exe|TOKEN|1|";
const std::string kInternet = "|http://d/|Full.exe|1|TOKEN|12345|";

// A package: PE stub (mark set unless told), blocks, trailer, then `after`.
std::string Package(uint8_t blockCount = 2, const std::string& after = "", bool mark = true) {
    std::string bytes = PEStub() + BlockBytes("\x02\x01" "English\x01" "s0=Hi\x01\x02") + BlockBytes(kSettings);
    if (blockCount >= 3) bytes += BlockBytes(kInternet);
    TPackageTrailer t = GoodTrailer(kStub, blockCount);
    t.Checksum = 99;
    bytes += TrailerBytes(t);
    if (mark) SetPackageEndMark(bytes, bytes.size());
    return bytes + after;
}

TPackageTrailer Read(const std::string& bytes) {
    TMemorySource source(bytes);
    return ReadTrailer(source);
}

TEST(ReadTrailer, FoundAtTheEndOrThroughTheMark) {
    // Signed: the certificate table ends in bytes that look like a size word.
    const std::string cert = std::string(500, 'C') + U32Bytes(74);
    for (const std::string& bytes : {Package(2, "", false), Package(2, ""), Package(2, cert)}) {
        TPackageTrailer t = Read(bytes);
        EXPECT_EQ(t.Magic, PackageMagic);
        EXPECT_EQ(t.BlocksOffset, kStub);
        EXPECT_EQ(t.FilesCount, 7u);
        EXPECT_EQ(t.SpaceRequired[8], 1008u);
        EXPECT_EQ(t.Flags, pfConfirmTempDrive | pfAgentLog);
        EXPECT_EQ(t.TrailerSize, 74u);
    }
    // Without the mark the same signed file does not read.
    EXPECT_NE(Read(Package(2, cert, false)).Magic, PackageMagic);
}

TEST(ReadTrailer, OddSizeWordsAndShortFiles) {
    const std::string good = TrailerBytes(GoodTrailer(0));
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t magic, checksum, space1, space2, trailerSize;
        uint8_t blockCount;
    };
    // A longer trailer (100) is read from its start, up to this record's size.
    std::string longer = std::string(40, 'x') + good.substr(0, 70) + std::string(26, 'y') + U32Bytes(100);
    // A shorter one (40) fills the first 36 bytes only: SpaceRequired[1] is the last field it reaches.
    std::string shorter = std::string(40, 'x') + good.substr(0, 36) + U32Bytes(40);
    const Case cases[] = {
        {"size word 100", longer, PackageMagic, kUncomputedChecksum, 1001, 1002, 74, 2},
        {"size word 40", shorter, PackageMagic, kUncomputedChecksum, 1001, 0, 40, 2},
        {"size word 3", std::string(100, 'x') + U32Bytes(3), 0, 0, 0, 0, 3, 2},
        {"size word above the file", std::string(20, 'x') + U32Bytes(74), 0, 0, 0, 0, 74, 2},
        {"size word 0xFFFFFFFF", std::string(200, 'x') + U32Bytes(0xFFFFFFFF), 0, 0, 0, 0, 74, 2},
        {"empty file", "", 0, 0, 0, 0, 0, 2},
        {"three bytes", "abc", 0, 0, 0, 0, 0, 2},
    };
    for (const auto& c : cases) {
        TPackageTrailer t = Read(c.bytes);
        EXPECT_EQ(t.Magic, c.magic) << c.what;
        EXPECT_EQ(t.Checksum, c.checksum) << c.what;
        EXPECT_EQ(t.SpaceRequired[1], c.space1) << c.what;
        EXPECT_EQ(t.SpaceRequired[2], c.space2) << c.what;
        EXPECT_EQ(t.TrailerSize, c.trailerSize) << c.what;
        EXPECT_EQ(t.BlockCount, c.blockCount) << c.what;
    }
}

TEST(ReadTrailer, MarkPastTheFileOrInsideTheHeaderReadsNothing) {
    for (uint64_t mark : {uint64_t{1} << 40, uint64_t{5000}, uint64_t{3}}) {
        std::string bytes = Package();
        SetPackageEndMark(bytes, mark);
        TPackageTrailer t = Read(bytes);
        EXPECT_NE(t.Magic, PackageMagic) << mark;
        EXPECT_EQ(t.BlockCount, 2) << mark;
    }
}

TEST(IsPEImage, MZThenPEAtTheFixedOffset) {
    std::string pe = PEStub();
    std::string noMZ = pe;
    noMZ[0] = 'X';
    std::string peElsewhere = pe;
    peElsewhere.replace(256, 2, "XX");
    peElsewhere.replace(128, 2, "PE");  // where e_lfanew might point: not followed
    const std::pair<std::string, bool> cases[] = {
        {pe, true}, {noMZ, false}, {peElsewhere, false}, {pe.substr(0, 257), false}, {"MZ", false}, {"", false}};
    for (const auto& [bytes, expected] : cases) {
        TMemorySource s(bytes);
        EXPECT_EQ(IsPEImage(s), expected) << bytes.size();
    }
}

TEST(PackageEnd, HighAndLowWords) {
    std::string image = PEStub();
    ASSERT_TRUE(SetPackageEndMark(image, 0x0000000712345678ull));
    EXPECT_EQ(GetU32(image, 248), 7u);
    EXPECT_EQ(GetU32(image, 252), 0x12345678u);
    EXPECT_EQ(GetPackageEndOfImage(image), 0x0000000712345678ull);
    TMemorySource s(image);
    EXPECT_EQ(GetPackageEnd(s), 0x0000000712345678ull);
    EXPECT_EQ(GetPackageEndOfImage(image.substr(0, 255)), 0u);
}

// ---- TGFileInfo -----------------------------------------------------------------

TEST(TGFileInfo, ReadsTheBlocksAndAdvancesBlocksOffset) {
    for (uint8_t count : {2, 3}) {
        const std::string bytes = Package(count);
        TMemorySource s(bytes);
        TGFileInfo info(s);
        EXPECT_EQ(info.SettingsBlock, kSettings);
        EXPECT_EQ(info.InternetBlock, count == 3 ? kInternet : "");
        size_t expected = kStub + 4 + info.LanguageBlock.size() + 4 + kSettings.size();
        if (count == 3) expected += 4 + kInternet.size();
        EXPECT_EQ(info.Trailer.BlocksOffset, expected);
    }
}

TEST(TGFileInfo, BadHeaderAreasGiveEmptyBlocks) {
    struct Case {
        const char* what;
        std::string bytes;
        bool settingsRead;
        uint32_t blocksOffset;  // after construction
    };
    const std::string base = Package(3);
    const size_t trailerAt = base.size() - kTrailerSize;
    auto withTrailer = [&](auto change) {
        std::string b = base;
        TPackageTrailer t = TrailerFromBytes(std::string_view(b).substr(trailerAt));
        change(t);
        b.replace(trailerAt, kTrailerSize, TrailerBytes(t));
        return b;
    };
    auto withWord = [&](size_t at, uint32_t v) {
        std::string b = base;
        PutU32(b, at, v);
        return b;
    };
    const size_t settingsAt = kStub + 4 + GetU32(base, kStub);
    const Case cases[] = {
        {"wrong magic", withTrailer([](TPackageTrailer& t) { t.Magic = 0x12345678; }), false, 0},
        {"BlocksOffset past the end", withTrailer([](TPackageTrailer& t) { t.BlocksOffset = 0x7FFFFFF0; }), false,
         0x7FFFFFF0},
        {"block length past the end", withWord(settingsAt, static_cast<uint32_t>(base.size())), false,
         static_cast<uint32_t>(settingsAt)},
        {"block length of gigabytes", withWord(kStub, 0xFFFFFFF0u), false, kStub},
        {"BlockCount 0 reads two blocks", withTrailer([](TPackageTrailer& t) { t.BlockCount = 0; }), true,
         static_cast<uint32_t>(settingsAt + 4 + kSettings.size())},
    };
    for (const auto& c : cases) {
        TMemorySource s(c.bytes);
        TGFileInfo info(s);
        EXPECT_EQ(info.SettingsBlock, c.settingsRead ? kSettings : "") << c.what;
        EXPECT_EQ(info.InternetBlock, "") << c.what;
        EXPECT_EQ(info.Trailer.BlocksOffset, c.blocksOffset) << c.what;
    }
}

TEST(TGFileInfo, DamagedTrailerCountsAsNoPackage) {
    // A size word that does not lead to a trailer (9999), and a trailer whose
    // magic alone is wrong: whatever the bytes read, nothing of them is kept,
    // least of all the agent byte and the agent-log flag.
    std::string bytes = Package(3);
    const size_t trailerAt = bytes.size() - kTrailerSize;
    TPackageTrailer t = TrailerFromBytes(std::string_view(bytes).substr(trailerAt));
    t.AutoUpdateAgent = 1;
    t.Flags |= pfAgentLog | pfMultiVolume;
    t.InternetPackage = 1;
    t.Magic = 0x12345678;
    std::string wrongMagic = bytes;
    wrongMagic.replace(trailerAt, kTrailerSize, TrailerBytes(t));
    t.Magic = PackageMagic;
    std::string sizeWord = bytes;
    sizeWord.replace(trailerAt, kTrailerSize, TrailerBytes(t));
    PutU32(sizeWord, sizeWord.size() - 4, 9999);
    for (const std::string* b : {&wrongMagic, &sizeWord}) {
        TMemorySource s(*b);
        TGFileInfo info(s);
        const std::string zero(kTrailerSize, '\0');
        EXPECT_EQ(TrailerBytes(info.Trailer), zero);
        EXPECT_EQ(info.AutoUpdateAgent(), 0);
        EXPECT_EQ(info.InternetPackage(), 0);
        EXPECT_FALSE(info.AgentLog() || info.MultiVolume());
        EXPECT_EQ(info.LanguageBlock + info.SettingsBlock + info.InternetBlock, "");
    }
}

TEST(TGFileInfo, MissingFileIsAllZero) {
    TGFileInfo info("/nonexistent/lumidor/package.exe");
    EXPECT_EQ(info.Trailer.Magic, 0u);
    EXPECT_EQ(info.Trailer.BlockCount, 0);
    EXPECT_FALSE(info.MultiVolume());
    EXPECT_EQ(info.LanguageBlock + info.SettingsBlock + info.InternetBlock, "");
    EXPECT_EQ(info.RequiredSpace("C:\\", [](const std::string&) { return 4096u; }), 0.0);
}

TEST(TGFileInfo, AccessorsOfFlagsAndItems) {
    const std::string bytes = Package(3);
    TMemorySource s(bytes);
    TGFileInfo info(s);
    EXPECT_TRUE(info.ConfirmTempDrive());
    EXPECT_TRUE(info.AgentLog());
    EXPECT_FALSE(info.MultiVolume() || info.CdSpanned() || info.ShowActivityBar());
    EXPECT_EQ(info.InternetPackage(), 1);
    EXPECT_EQ(info.ConfirmDownload(), 0);
    EXPECT_EQ(info.AutoUpdateAgent(), 1);
    EXPECT_EQ(info.UpdateLocation(), "http://u/loc/");
    EXPECT_EQ(info.UpdateInfoName(), "info.v2.ini");
    EXPECT_EQ(info.OriginalInfoName(), "info.v2.original");
    EXPECT_EQ(info.AgentFileName(), "Agent.exe");
    EXPECT_EQ(info.IdentityToken(false), "TOKEN");
    EXPECT_TRUE(info.RunHidden());
    EXPECT_EQ(info.DownloadLocation(), "http://d/");
    EXPECT_EQ(info.SetupFileName(), "Full.exe");
    EXPECT_TRUE(info.AlwaysDownload());
    EXPECT_EQ(info.SetupFileSize(), "12345");
    // "TOKEN" is no scrambled value: unscrambling gives a number text.
    EXPECT_EQ(info.DownloadIdentityToken(true).find_first_not_of("0123456789"), std::string::npos);
}

TEST(TGFileInfo, UpdateKeyIsTheSixthSettingsItemOnly) {
    const std::string key = "30820122300d06092a864886f70d01010105000382010f00";
    struct Case {
        const char* what;
        std::string settings;
        std::string key;
    };
    const Case cases[] = {
        {"our builder, with a key", "|http://u/|i.ini|Agent.exe|TOK|1|" + key + "|", key},
        {"our builder, no key", kSettings, ""},
        {"no [Settings] at all", "||||||", ""},
        {"an empty sixth item", "|a|b|c|d|0||", ""},
        // Another builder: its own separator, further items this reader
        // does not know, and the items before the key read as ever.
        {"another builder, more items", "~http://u/~i.ini~Agent.exe~TOK~1~" + key + "~later~x=1~", key},
        // An unterminated last item is no item.
        {"cut short", "|a|b|c|d|0|" + key, ""},
    };
    for (const auto& c : cases) {
        std::string bytes = PEStub() + BlockBytes("") + BlockBytes(c.settings) + TrailerBytes(GoodTrailer(kStub));
        SetPackageEndMark(bytes, bytes.size());
        TMemorySource s(bytes);
        TGFileInfo info(s);
        ASSERT_EQ(info.SettingsBlock, c.settings) << c.what;
        EXPECT_EQ(info.UpdateKey(), c.key) << c.what;
        if (c.settings[0] == '~') {
            EXPECT_EQ(info.AgentFileName(), "Agent.exe") << c.what;
            EXPECT_TRUE(info.RunHidden()) << c.what;
        }
    }
}

TEST(TGFileInfo, RequiredSpaceByClusterSize) {
    TGFileInfo info;
    for (int i = 0; i < kSpaceClasses; ++i) info.Trailer.SpaceRequired[i] = 100 + i;
    info.Trailer.SpaceRequired[8] = 0xFFFFFFFF;  // unsigned all the way
    static uint32_t cluster;
    const std::pair<uint32_t, double> cases[] = {{0, 100},   {256, 100},   {511, 100},    {512, 101},
                                                 {1000, 101}, {4096, 104}, {32768, 107}, {65536, 4294967295.0},
                                                 {1u << 20, 4294967295.0}};
    for (const auto& [c, expected] : cases) {
        cluster = c;
        EXPECT_EQ(info.RequiredSpace("D:\\x", [](const std::string&) { return cluster; }), expected) << c;
    }
    // Natively the drive is unknown: the exact figure.
    EXPECT_EQ(info.RequiredSpace("/tmp"), 100);
}

// ---- Checksum ---------------------------------------------------------------------

std::string Words(size_t bytes, uint32_t value) {
    std::string s;
    for (size_t i = 0; i < bytes; i += 4) s += U32Bytes(value);
    return s.substr(0, bytes);
}

TEST(PackageChecksum, HandComputedSums) {
    // 100 bytes: R = 26, words 1 to 5 are summed (R stays above 4), no 1234.
    std::string counted;
    for (uint32_t w = 1; w <= 25; ++w) counted += U32Bytes(w);
    // 5000 bytes of ones: 1024 words, 1234 after the full piece, then 206 more.
    const std::string ones = Words(5000, 1);
    // A PE with the mark at 1100 in a 1200-byte file: from 512, R = 514: 127 words of 2.
    std::string marked = PEStub().substr(0, 512) + Words(688, 2);
    PutU32(marked, 252, 1100);
    // Only the low word makes a mark: with the high word alone the whole
    // file counts from 0, R = 1126: "MZ" + the high word 1 + "PE" + 152 words of 2.
    std::string highOnly = PEStub().substr(0, 512) + Words(688, 2);
    PutU32(highOnly, 248, 1);
    const std::pair<std::string, uint32_t> cases[] = {
        {counted, 15}, {ones, 2464}, {marked, 254}, {highOnly, 0x5A4D + 1 + 0x4550 + 152 * 2}};
    for (const auto& [bytes, expected] : cases) {
        TMemorySource s(bytes);
        EXPECT_EQ(PackageChecksum(s, kTrailerSize), expected) << bytes.size();
    }
    // Above 51,200 bytes nothing is read.
    const std::string bigBytes(51201, '\x7F'), limitBytes(51200, '\0');
    TMemorySource big(bigBytes);
    EXPECT_EQ(PackageChecksum(big, kTrailerSize), kUncomputedChecksum);
    TMemorySource limit(limitBytes);
    EXPECT_EQ(PackageChecksum(limit, kTrailerSize), 12u * kUncomputedChecksum);
}

TEST(PackageChecksum, PassRule) {
    EXPECT_TRUE(ChecksumPasses(5, 5));
    EXPECT_TRUE(ChecksumPasses(kUncomputedChecksum, 5));
    EXPECT_TRUE(ChecksumPasses(5, kUncomputedChecksum));
    EXPECT_FALSE(ChecksumPasses(5, 6));
}

// ---- Scrambled values ---------------------------------------------------------------

bool IsFallback(const std::string& v) {
    return !v.empty() && v.size() <= 5 && v.find_first_not_of("0123456789") == std::string::npos && std::stoi(v) <= 99998;
}

TEST(UnscrambleValue, KnownValue) {
    // Bytes 10 05 04 44 47 B9 15: k = 0x10 ^ 0x15 = 5, a = 0, b = 1, check 0xB9, "AB".
    EXPECT_EQ(UnscrambleValue("cbbgbffffitkcg"), "AB");
    // Lower-case hex digits are hex too ('B' + 50 = 't', 'b' + 50 = 0x94).
    EXPECT_EQ(UnscrambleValue(std::string("cbbgbffffi") + '\x94' + "kcg"), "AB");
}

TEST(UnscrambleValue, ShortOrBadValuesGiveANumberOfAtMostFiveDigits) {
    const std::string cases[] = {
        "",                   // nothing
        "c",                  // one byte
        "cbbgbfff",           // eight characters: four bytes
        "cbbgbffffitlcg",     // check byte damaged (a pair that is not hex: 0xFF)
        "cbbgbffffitkch",     // key byte changed: the check no longer adds up
        std::string(14, '~'), // no hex at all
        "bbbgbgbbbsbb",       // check adds up, but a + b leave no room for the token
    };
    for (const auto& v : cases) EXPECT_TRUE(IsFallback(UnscrambleValue(v))) << "'" << v << "' -> " << UnscrambleValue(v);
}

TEST(ScrambleValue, EveryTokenComesBack) {
    std::string allBytes;
    for (int c = 0; c < 256; ++c) allBytes += static_cast<char>(c);
    const std::string tokens[] = {"", "x", "MyProduct-7F3A-2024", "with|bar and blanks ", allBytes,
                                  std::string(300, 'q')};
    for (const auto& token : tokens)
        for (int round = 0; round < 20; ++round) {
            const std::string s = ScrambleValue(token);
            ASSERT_EQ(UnscrambleValue(s), token) << s;
            ASSERT_EQ(s.find_first_of("|\x01\x02"), std::string::npos);
        }
    // Random bytes: the same token scrambles differently.
    EXPECT_NE(ScrambleValue("same"), ScrambleValue("same"));
}

TEST(SplitTokenText, TokenAndBodyPlainOrScrambled) {
    const std::string text = "|" + ScrambleValue("tok-1") + "|x|y|{\\rtf1 body|with|bars}";
    for (const std::string& t : {text, ScrambleText(text, true, false)}) {
        auto [token, body] = SplitTokenText(t);
        EXPECT_EQ(token, "tok-1");
        EXPECT_EQ(body, "{\\rtf1 body|with|bars}");
    }
    auto [token, body] = SplitTokenText("|" + ScrambleValue("t") + "|x");
    EXPECT_EQ(token, "t");
    EXPECT_EQ(body, "");
    EXPECT_TRUE(IsFallback(SplitTokenText("no bars at all").first));
}

TEST(Volumes, NamesFromTheFirstVolume) {
    const std::tuple<std::string, int, std::string> cases[] = {
        {"C:\\d\\setup.exe", 1, "C:\\d\\setup.exe"},     {"C:\\d\\setup.exe", 2, "C:\\d\\setup.exe.002"},
        {"C:\\d\\setup.exe.001", 1, "C:\\d\\setup.exe.001"}, {"C:\\d\\setup.exe.001", 3, "C:\\d\\setup.exe.003"},
        {"pkg", 12, "pkg.012"},                            {"pkg", 1000, "pkg.1000"}};
    for (const auto& [first, n, expected] : cases) EXPECT_EQ(VolumeFileName(first, n), expected);
}

}  // namespace

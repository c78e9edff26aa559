// Utils, portable half: string helpers, conversions, sizes and versions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>

#include "sys/Utils.h"

using namespace std::string_literals;

namespace {

TEST(Utils, CompareAndFindIgnoringCase)
{
    EXPECT_TRUE(SameText("  Engine.EXE ", "engine.exe"));
    EXPECT_FALSE(SameText("engine.exe", "engine.ex"));
    EXPECT_EQ(PosIgnoreCase("EXE", "setup.exe"), 7u);
    EXPECT_EQ(PosIgnoreCase("dll", "setup.exe"), 0u);
    EXPECT_EQ(PosIgnoreCase("", "setup.exe"), 0u);
    EXPECT_TRUE(StartsWith("HKLM\\x", "hk", true));
    EXPECT_FALSE(StartsWith("HKLM\\x", "hk", false));
    EXPECT_TRUE(EndsWith("a.EXE", ".exe", true));
    EXPECT_FALSE(EndsWith("exe", ".exe", true));
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
}

TEST(Utils, ReplaceText)
{
    const struct {
        std::string text, find, repl;
        int from, to;
        bool ignoreCase, trim;
        std::string expected;
    } cases[] = {
        {"a.b.c.d", ".", "-", 0, 0, false, false, "a-b-c-d"},
        {"a.b.c.d", ".", "-", 2, 2, false, false, "a.b-c.d"},
        {"a.b.c.d", ".", "-", 2, 0, false, false, "a.b-c-d"},
        {"a.b.c.d", ".", "-", 0, 1, false, false, "a-b.c.d"},
        {"Xa xA", "XA", "y", 0, 0, true, false, "y y"},
        {"Xa xA", "XA", "y", 0, 0, false, false, "Xa xA"},
        {" aXb ", "X", " ", 0, 0, false, true, "a b"},
        {"aaa", "aa", "b", 0, 0, false, false, "ba"},  // no overlaps
        {"abc", "", "x", 0, 0, false, false, "abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceText(c.text, c.find, c.repl, c.from, c.to, c.ignoreCase, c.trim), c.expected) << c.text;

    EXPECT_EQ(ReplaceRepeatedly("a     b", "  ", " "), "a b");
    EXPECT_EQ(ReplaceRepeatedly("|A  =1|", " =", "="), "|A=1|");
    EXPECT_EQ(ReplaceRepeatedly("abab", "ab", "xab"), "abab");  // would never end
    EXPECT_EQ(ReplaceRepeatedly("aaaa", "aa", "a"), "a");
    EXPECT_EQ(ReplaceChar("a/b/c", '/', '\\'), "a\\b\\c");
}

TEST(Utils, CutAndFrame)
{
    EXPECT_EQ(LeftOf("Name=Value", "="), "Name");
    EXPECT_EQ(RightOf("Name = Value", "=", "", true), "Value");
    EXPECT_EQ(LeftOf("NoMarker", "=", "def"), "def");
    EXPECT_EQ(RightOf("NoMarker", "=", "def"), "def");
    EXPECT_EQ(RightOf("a=b=c", "="), "b=c");

    EXPECT_EQ(StripChar("..1.2..", '.'), "1.2");
    EXPECT_EQ(StripChar("...", '.'), "");
    EXPECT_EQ(FrameChar("1.2", '.'), ".1.2.");
    EXPECT_EQ(FrameChar(".1.", '.'), ".1.");
    EXPECT_EQ(FrameChar("", '|'), "||");
    EXPECT_EQ(Unquote("  \"C:\\a b\\x.exe\" "), "C:\\a b\\x.exe");
    EXPECT_EQ(Quote("C:\\a b"), "\"C:\\a b\"");
    EXPECT_EQ(Quote("\"C:\\a b\""), "\"C:\\a b\"");

    EXPECT_EQ(PadLeft("7", 3), "007");
    EXPECT_EQ(PadLeft("1234", 3), "1234");
    EXPECT_EQ(PadLeft(42, 5, ' '), "   42");
    EXPECT_EQ(PadLeft(-5, 3), "-05");
    EXPECT_EQ(BoolText(true) + BoolText(false) + BoolDigit(true) + BoolDigit(false), "TRUEFALSE10");
}

TEST(Utils, TextToInt64)
{
    const std::pair<std::string, int64_t> cases[] = {
        {"12", 12},      {" -7 ", -7}, {"+5", 5},     {"", 99},   {"x", 99},
        {"1.5", 99},     {"-", 99},    {"+", 99},     {"+-1", 99}, {"12a", 99},
        {"9223372036854775807", INT64_MAX},            {"9223372036854775808", 99},
        {"-9223372036854775808", INT64_MIN},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(TextToInt64(text, 99), expected) << text;
}

// FixedText stands in for "%.*f": every case must print what the C library
// prints, ties and carries included.
TEST(Utils, IntTextIsToStringForEveryIntegerType)
{
    const int64_t edges[] = {0, 1, -1, 9, 10, -10, 99, 100, INT32_MAX, INT32_MIN, int64_t{UINT32_MAX},
                             INT64_MAX, INT64_MIN, INT64_MIN + 1, 1000000007, -4294967296};
    for (int64_t v : edges) EXPECT_EQ(IntText(v), std::to_string(v)) << v;
    for (uint64_t v : {uint64_t{0}, uint64_t{18446744073709551615u}, uint64_t{10000000000000000000u}})
        EXPECT_EQ(IntText(v), std::to_string(v)) << v;
    EXPECT_EQ(IntText(INT32_MIN), "-2147483648");
    EXPECT_EQ(IntText(static_cast<uint32_t>(UINT32_MAX)), "4294967295");
    EXPECT_EQ(IntText(static_cast<short>(-32768)), "-32768");
    EXPECT_EQ(IntText(static_cast<unsigned char>(255)), "255");
    EXPECT_EQ(IntText(size_t{4096}), "4096");
}

TEST(Utils, CatJoinsPiecesOfEveryKind)
{
    const std::string owned = "owned";
    const char buffer[] = "buffer";
    EXPECT_EQ(Cat({}), "");
    EXPECT_EQ(Cat({"", owned, ""}), "owned");
    EXPECT_EQ(Cat({owned, " ", buffer, " ", IntText(-7), std::string(1, '\\')}), "owned buffer -7\\");
    // Embedded NULs travel as with operator+ of strings.
    EXPECT_EQ(Cat({std::string("a\0b", 3), "c"}), std::string("a\0bc", 4));
}

TEST(Utils, FixedTextPrintsWhatPrintfPrints)
{
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -0.5, 0.125, 0.375, 2.675, 1.005, 9.995, 99.995, 0.05,
                             0.0049, -0.001, 123456.789, 1e-7, 5e-324, 1e15 + 0.5, 4503599627370497.0,
                             9007199254740993.0, 18446744073709551616.0, 1e22, 1.7976931348623157e308,
                             1048575.99999, 10.05, 0.95, 3.14159265358979, 999.9999, -999.99999};
    for (double v : values) {
        for (int d = 0; d <= 9; ++d) {
            char expected[400];
            std::snprintf(expected, sizeof expected, "%.*f", d, v);
            EXPECT_EQ(FixedText(v, d), expected) << v << " with " << d << " decimals";
        }
    }
    // A sweep over the ratios the size texts divide, and over random bit patterns.
    std::mt19937_64 rnd(7);
    for (int i = 0; i < 20000; ++i) {
        double v = i < 10000 ? static_cast<double>(rnd() % 100000000) / static_cast<double>(1 + rnd() % 1048576)
                             : 0;
        if (i >= 10000) {
            uint64_t bits = rnd();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v) || std::fabs(v) > 1e30) continue;
        }
        const int d = static_cast<int>(rnd() % 5);
        char expected[400];
        std::snprintf(expected, sizeof expected, "%.*f", d, v);
        ASSERT_EQ(FixedText(v, d), expected) << v << " with " << d << " decimals";
    }
    EXPECT_EQ(FixedText(1.0 / 0.0, 2), "inf");
    EXPECT_EQ(FixedText(-1.0 / 0.0, 2), "-inf");
    EXPECT_EQ(FixedText(1.25, 12), "1.250000000");  // decimals clamped to 9
}

TEST(Utils, HexDigitsPadsLikePrintf)
{
    const std::pair<uint32_t, int> cases[] = {{0, 4}, {0x409, 4}, {0x4B0, 4}, {0xFFFF, 4}, {0x12345, 4}, {0xABC, 0},
                                              {0xFFFFFFFFu, 8}, {7, 1}};
    for (const auto& [value, digits] : cases) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.*x", digits, static_cast<unsigned>(value));
        EXPECT_EQ(HexDigits(value, digits), expected) << value;
    }
}

// The start-up window is placed with it: 492 pixels in a work area of 1023.
TEST(Utils, CenteredOriginRoundsHalvesTowardZero)
{
    EXPECT_EQ(CenteredOrigin(0, 1023, 492), 265);
    EXPECT_EQ(CenteredOrigin(40, 1024, 492), 306);
    EXPECT_EQ(CenteredOrigin(0, 100, 103), -1) << "larger than the area: the half of -3 is -1";
}

TEST(Utils, RandomBetweenStaysInRangeAndVaries)
{
    const std::pair<int, int> ranges[] = {{10000, 100000}, {0, 1}, {5, 5}, {-3, 3}, {INT32_MIN, INT32_MAX}};
    for (const auto& [low, high] : ranges) {
        std::set<int> seen;
        for (int i = 0; i < 200; ++i) {
            const int n = RandomBetween(low, high);
            ASSERT_GE(n, low);
            ASSERT_LE(n, high);
            seen.insert(n);
        }
        // Every number of a small range (both ends included), and nearly
        // 200 different ones from a wide range.
        const int64_t span = static_cast<int64_t>(high) - low + 1;
        if (span <= 7) {
            EXPECT_EQ(seen.size(), static_cast<size_t>(span)) << low << ".." << high;
        } else if (span > 1000) {
            EXPECT_GT(seen.size(), 190u) << low << ".." << high;
        }
    }
}

TEST(Utils, ParseInBase)
{
    const struct {
        std::string text;
        int base;
        int64_t expected;
    } cases[] = {
        {"FF", 16, 255},         {" 0xff ", 16, 255}, {"101", 2, 5},  {"12", 2, -1},
        {"", 16, -1},            {"0x", 16, -1},      {"z", 36, 35},  {"777", 8, 511},
        {"FFFFFFFFFFFFFFFF", 16, -1 /* all bits */},  {"1FFFFFFFFFFFFFFFF", 16, -1},
        {"10", 1, -1},           {"G", 16, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInBase(c.text, c.base, -1), c.expected) << c.text;
    EXPECT_EQ(ParseInBase("7FFFFFFFFFFFFFFF", 16, 0), INT64_MAX);
    EXPECT_EQ(ParseInBase("1FFFFFFFFFFFFFFFF", 16, 0), 0);  // overflow gives the default
}

TEST(Utils, HexEncodeDecode)
{
    const std::string bytes = "AB\0\xFF"s;
    EXPECT_EQ(HexEncode(bytes), "414200FF");
    EXPECT_EQ(HexEncode("ABCDEFGHI", true, true), "0x41 0x42 0x43 0x44 0x45 0x46 0x47 0x48  0x49 ");
    EXPECT_EQ(HexEncode("AB", false, true), "41 42 ");
    EXPECT_EQ(HexDecode("414200FF"), bytes);
    EXPECT_EQ(HexDecode("4a4B"), "JK");
    EXPECT_EQ(HexDecode("zz41"), "\xFF" "A");
    EXPECT_EQ(HexDecode("414"), "A");
    EXPECT_EQ(HexDecode(""), "");
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(HexDecode(HexEncode(all)), all);
}

TEST(Utils, FormatSize)
{
    const struct {
        bool grouping;
        int decimals;
        int64_t value, unit;
        std::string expected;
    } cases[] = {
        {false, 0, 0, kKiloByte, "0"},
        {false, 0, 1, kKiloByte, "1"},  // rounded up
        {false, 0, 1024, kKiloByte, "1"},
        {false, 0, 1025, kKiloByte, "2"},
        {true, 0, 1234567LL * 1024, kKiloByte, "1,234,567"},
        {true, 0, 999LL * 1024, kKiloByte, "999"},
        {false, 2, 1536, kKiloByte, "1.50"},
        {false, 4, 1, kKiloByte, "0.0010"},
        {false, 7, 1536, kKiloByte, "1.5"},  // unsupported decimals: 1
        {true, 1, 1234567LL * kMegaByte + kMegaByte / 2, kMegaByte, "1,234,567.5"},
        {true, 2, -1234LL * 1024, kKiloByte, "-1,234.00"},
        {false, 0, 5, 0, "5"},  // no unit: no division by zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSize(c.grouping, c.decimals, c.value, c.unit), c.expected) << c.value << "/" << c.unit;
}

TEST(Utils, ReformatVersion)
{
    const struct {
        std::string version;
        int width, parts;
        std::string expected;
    } cases[] = {
        {"10.0.19041.1", 2, 3, "10.00.19041"},
        {"1.2.3.4", 2, 3, "01.02.03"},
        {"1, 2, 3, 4", 1, 4, "1.2.3.4"},
        {"v1.2 beta", 1, 4, "1.2.0.0"},
        {"..5..", 1, 2, "5.0"},
        {"", 2, 3, "00.00.00"},  // nothing valid: every part 0
        {"abc", 1, 2, "0.0"},
        {"99999999999999999999.1", 1, 2, "0.1"},
        {"1.2.3.4", 1, 0, ""},
        {"1.2", 3, 4, "001.002.000.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReformatVersion(c.version, c.width, c.parts), c.expected) << c.version;

    // 10.0.19041.1 as the fixed-version words of a version resource.
    EXPECT_EQ(FileVersionText(0x000A0000, 0x4A610001), "10.0.19041.1");
    EXPECT_EQ(FileVersionText(0x000A0000, 0x4A610001, 2, 3), "10.00.19041");
}

}  // namespace

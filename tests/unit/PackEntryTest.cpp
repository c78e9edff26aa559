// File entries: framing checked against the package end, zlib decoding,
// header parsing, unsafe names, and DOS times.
#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <string>

#include "package/DosTime.h"
#include "package/PackEntry.h"

namespace {

std::string Frame(int32_t length, const std::string& body) { return U32Bytes(static_cast<uint32_t>(length)) + body; }

std::string Content(const std::string& header, const std::string& data) { return header + std::string(1, '\0') + data; }

TEST(ReadEntryFrame, LengthsAreCheckedBeforeAnythingIsRead) {
    const std::string zlib = DeflateBuffer(Content("|a|0|", "data"), 9);
    struct Case {
        const char* what;
        std::string file;  // the entry at offset 8, after 8 bytes of padding
        int64_t limit;     // 0: the file's end
        std::string error; // part of the message; empty for success
        int64_t next;
    };
    const std::string pad(8, 'p');
    const Case cases[] = {
        {"zlib", pad + Frame(static_cast<int32_t>(zlib.size()), zlib), 0, "", 12 + static_cast<int64_t>(zlib.size())},
        {"stored -5", pad + Frame(-5, "12345") + "tail", 0, "", 17},
        {"empty", pad + Frame(0, ""), 0, "", 12},
        {"INT_MIN", pad + Frame(INT_MIN, "x"), 0, "length -2147483648 is invalid", 0},
        {"past the limit", pad + Frame(100, std::string(100, 'z')), 60, "runs past the package end (60)", 0},
        {"INT_MAX past the end", pad + Frame(INT_MAX, "abc"), 0, "runs past the package end", 0},
        {"cut short before the limit", pad + Frame(-50, "only ten b"), 1000, "the file is cut short", 0},
        {"no room for the length", pad + "ab", 0, "no room for its length", 0},
        {"length cut short", pad + "ab", 1000, "the file ends before its length", 0},
    };
    for (const auto& c : cases) {
        TMemorySource s(c.file);
        TEntryFrame f = ReadEntryFrame(s, 8, c.limit ? c.limit : static_cast<int64_t>(c.file.size()));
        if (c.error.empty()) {
            EXPECT_EQ(f.Error, "") << c.what;
            EXPECT_EQ(f.Next, c.next) << c.what;
            EXPECT_EQ(f.Body.size(), static_cast<size_t>(c.next - 12)) << c.what;
        } else {
            EXPECT_NE(f.Error.find(c.error), std::string::npos) << c.what << ": " << f.Error;
            EXPECT_NE(f.Error.find("offset 8"), std::string::npos) << c.what;
            EXPECT_TRUE(f.Body.empty()) << c.what;
        }
    }
}

TEST(DecodeEntry, StoredCompressedAndSkipped) {
    struct Case {
        const char* what;
        int32_t length;
        std::string body;
        bool skipped;
        std::string name, data;
    };
    const std::string c = Content("|Setup.dat|0|", std::string(3000, 'd'));
    const Case cases[] = {
        {"stored", -static_cast<int32_t>(c.size()), c, false, "Setup.dat", std::string(3000, 'd')},
        {"zlib", 1, DeflateBuffer(c, 9), false, "Setup.dat", std::string(3000, 'd')},
        {"empty data", -6, Content("|e|0|", ""), false, "e", ""},
        {"data holding NULs", -9, Content("|n|0|", std::string("a\0b", 3)), false, "n", std::string("a\0b", 3)},
        {"empty entry", 0, "", true, "", ""},
        {"no NUL", -5, "|x|0|", true, "", ""},
        {"empty header", -5, Content("", "data"), true, "", ""},
    };
    // The in-place decoding shares one content buffer across all cases, as
    // the extraction does: a larger entry before must not show through.
    TByteBuffer content;
    ASSERT_TRUE(content.assign(std::string(8000, 'x')));
    for (const auto& k : cases) {
        TEntryFrame f;
        f.Length = k.length;
        ASSERT_TRUE(f.Body.assign(k.body));
        TPackEntry e = DecodeEntry(f);
        EXPECT_EQ(e.Skipped, k.skipped) << k.what;
        EXPECT_EQ(e.Parsed.Name, k.name) << k.what;
        EXPECT_EQ(e.Data, k.data) << k.what;
        const TEntryView view = DecodeEntryView(f, content, nullptr);
        EXPECT_EQ(view.Skipped, k.skipped) << k.what;
        EXPECT_EQ(view.Header, e.Header) << k.what;
        EXPECT_EQ(view.Data, k.data) << k.what;
    }
}

std::string WithDictionary(const std::string& text) {
    z_stream z{};
    deflateInit(&z, 9);
    const std::string dict = "dictionary";
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dict.data()), static_cast<uInt>(dict.size()));
    std::string out(256 + text.size() * 2, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Inflated(std::string_view data, size_t limit = kMaxEntryBytes, InflateYieldFn yield = nullptr) {
    TByteBuffer out;
    const EZLibError error = InflateInto(data, out, limit, yield);
    EXPECT_FALSE(error.Failed()) << error.Message;
    return std::string(out.view());
}

TEST(InflateInto, FaultsComeBackAsEZLibErrorWithZlibsText) {
    const std::string good = DeflateBuffer(Content("|a|0|", std::string(5000, 'x') + "tail"), 9);
    std::string damaged = good;
    damaged[good.size() / 2] ^= 0x55;
    damaged[good.size() / 2 + 1] ^= 0x55;
    std::string badAdler = good;
    badAdler.back() ^= 1;
    const std::pair<std::string, const char*> cases[] = {
        {good.substr(0, good.size() - 6), "buffer error"},  // cut short: never ends
        {badAdler, "data error"},
        {"\x78\x9C\xFF\xFF\xFF", "data error"},
        {"garbage!", "data error"},
        {WithDictionary("needs a preset dictionary"), "need dictionary"},  // would loop for ever
        {"", "buffer error"},
    };
    TByteBuffer out;
    for (const auto& [data, message] : cases) {
        const EZLibError error = InflateInto(data, out, kMaxEntryBytes);
        EXPECT_TRUE(error.Failed()) << "no error for " << message;
        EXPECT_NE(error.Message.find(message), std::string::npos) << error.Message;
    }
    EXPECT_EQ(Inflated(good).size(), 5 + 1 + 5004u);
}

// 4 MiB of a short cycle pack into about 4 KB: the output must grow in a few
// rounds, not one per 4 KB (which served the queue a thousand times per
// entry), and every growth must carry the bytes already inflated.
TEST(InflateInto, HighlyCompressibleStreamInflatesInFewRounds) {
    std::string cycle(4 << 20, '\0');
    for (size_t i = 0; i < cycle.size(); ++i) cycle[i] = "0123456789abcdef"[i % 16];
    cycle += "end";
    static int rounds;
    rounds = 0;
    EXPECT_EQ(Inflated(DeflateBuffer(cycle, 9), kMaxEntryBytes, [] { ++rounds; }), cycle);
    EXPECT_LE(rounds, 12);
    EXPECT_EQ(Inflated(DeflateBuffer("", 9)), "");
}

// A "zip bomb": a stream of a few KB that inflates without end. The
// inflater stops at the limit, with an error, and never holds much more.
TEST(InflateInto, StreamPastTheLimitIsRefusedWithBoundedMemory) {
    const std::string zeros(1 << 20, '\0');
    const std::string bomb = DeflateBuffer(zeros, 9);  // 1 MiB in about 1 KB
    const struct {
        size_t limit;
        bool fits;
    } cases[] = {{zeros.size(), true}, {zeros.size() - 1, false}, {4096, false}, {0, false}, {zeros.size() * 4, true}};
    for (const auto& c : cases) {
        TByteBuffer out;
        const EZLibError error = InflateInto(bomb, out, c.limit);
        EXPECT_EQ(error.Failed(), !c.fits) << c.limit << ": " << error.Message;
        if (c.fits) EXPECT_EQ(out.view(), zeros);
        else EXPECT_NE(error.Message.find("inflates past the limit of " + std::to_string(c.limit) + " bytes"),
                       std::string::npos) << error.Message;
        EXPECT_LE(out.capacity(), c.limit + 1 + 4096) << c.limit;
    }
    // Reading the whole entry goes through the same bound: the content limit
    // of a package whose files hold 10 bytes in all stops it there too.
    TEntryFrame f;
    f.Length = static_cast<int32_t>(bomb.size());
    ASSERT_TRUE(f.Body.assign(bomb));
    const TPackEntry e = DecodeEntry(f, nullptr, EntryContentLimit(10));
    EXPECT_TRUE(e.Skipped);
    EXPECT_NE(e.Error.find("zlib stream: inflates past the limit of " + std::to_string(10 + kMaxEntryHeader)),
              std::string::npos) << e.Error;
}

TEST(EntryContentLimit, FollowsTheDeclaredSizeUpToTheBound) {
    EXPECT_EQ(EntryContentLimit(0), kMaxEntryBytes);  // nothing declared
    EXPECT_EQ(EntryContentLimit(1000), 1000u + kMaxEntryHeader);
    EXPECT_EQ(EntryContentLimit(kMaxEntryBytes), kMaxEntryBytes);
    EXPECT_EQ(EntryContentLimit(UINT32_MAX), kMaxEntryBytes);  // "4 GiB or more"
}

TEST(ParseEntryHeader, NameLaunchMarkAndTime) {
    struct Case {
        std::string header, name, launch;
        int32_t dosTime;
    };
    const Case cases[] = {
        {"|Engine.exe*|1248135901|", "Engine.exe", "Engine.exe*", 1248135901},
        {"|Engine.exe* /x|0|", "Engine.exe", "Engine.exe* /x", 0},
        {"|data.bin|-5|", "data.bin", "", -5},
        {"|data.bin|12x|", "data.bin", "", 0},
        {"|data.bin|4294967296|", "data.bin", "", 0},
        // A "*" outside the name item marks nothing: with "\\" as the
        // separator, the header below must not start a program outside.
        {"|plain.txt|1|extra*|", "plain.txt", "", 1},
        {"\\ok.exe\\0\\..\\..\\..\\outside\\evil.exe*", "ok.exe", "", 0},
        {"|only|", "only", "", 0},
    };
    for (const auto& c : cases) {
        TEntryHeader h = ParseEntryHeader(c.header);
        EXPECT_EQ(h.Name, c.name) << c.header;
        EXPECT_EQ(h.LaunchRecord, c.launch) << c.header;
        EXPECT_EQ(h.DosTime, c.dosTime) << c.header;
    }
    EXPECT_EQ(MakeEntryHeader("Engine.exe", 7, true, "/silent"), "|Engine.exe* /silent|7|");
    EXPECT_EQ(MakeEntryHeader("a.txt", -1), "|a.txt|-1|");
}

TEST(EncodeEntry, ZlibOnlyWhenSmaller) {
    const std::string text(10000, 't');
    std::string noise;
    for (int i = 0; i < 10000; ++i) noise += static_cast<char>((i * 7919 + (i >> 3) * 104729) & 0xFF);
    for (const auto& data : {text, noise, std::string()}) {
        const std::string entry = EncodeEntry("|f|1|", data.data(), data.size());
        TMemorySource s(entry);
        TEntryFrame f = ReadEntryFrame(s, 0, static_cast<int64_t>(entry.size()));
        ASSERT_EQ(f.Error, "");
        const size_t contentSize = 5 + 1 + data.size();
        EXPECT_EQ(f.Length > 0, static_cast<size_t>(f.Length) < contentSize) << data.size();
        EXPECT_EQ(DecodeEntry(f).Data, data);
    }
}

TEST(IsUnsafeEntryName, OnlyPlainRelativeNamesAreSafe) {
    const std::pair<const char*, bool> cases[] = {
        {"Engine.exe", false}, {"sub\\file.txt", false}, {"a..b.txt", false}, {".hidden", false},
        {"", true},           {"\\abs.txt", true},      {"/etc/passwd", true}, {"\\\\server\\share\\x", true},
        {"C:\\x.txt", true},  {"c:x.txt", true},        {"file.txt:stream", true}, {"..", true},
        {"..\\up.txt", true}, {"sub/../../up", true},   {"sub\\..", true},   {"... \\x", true}, {". .\\x", true},
    };
    for (const auto& [name, unsafe] : cases) EXPECT_EQ(IsUnsafeEntryName(name), unsafe) << name;
}

TEST(DosTime, FieldsAndRange) {
    std::tm t{};
    t.tm_year = 2009 - 1900, t.tm_mon = 6, t.tm_mday = 21, t.tm_hour = 0, t.tm_min = 31, t.tm_sec = 59;
    const int32_t dos = DosDateTimeFromTm(t);
    // 2009-07-21: (29 << 9) | (7 << 5) | 21; 00:31:58 (seconds halve, rounding down).
    EXPECT_EQ(static_cast<uint32_t>(dos), ((29u << 9 | 7u << 5 | 21u) << 16) | (31u << 5 | 29u));
    std::tm back{};
    ASSERT_TRUE(TmFromDosDateTime(dos, back));
    EXPECT_EQ(back.tm_year, t.tm_year);
    EXPECT_EQ(back.tm_sec, 58);
    t.tm_year = 1979 - 1900;
    EXPECT_EQ(DosDateTimeFromTm(t), 0);
    t.tm_year = 2108 - 1900;
    EXPECT_EQ(DosDateTimeFromTm(t), 0);
    EXPECT_FALSE(TmFromDosDateTime(0, back));
    EXPECT_FALSE(TmFromDosDateTime(static_cast<int32_t>(0x00000000u | (13u << 5 | 1u) << 16), back));  // month 13
    // Through the local time zone and back, on an even second.
    std::time_t now = 1700000000, again = 0;
    ASSERT_TRUE(TimeFromDosDateTime(DosDateTimeFromTime(now), again));
    EXPECT_EQ(again, now);
}

}  // namespace

// The extraction on real files, with a system that maps the package's "\"
// names onto this file system and records what the extraction asked for.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <unistd.h>

#include "VolumeMaker.h"
#include "package/UnPack.h"
#include "sys/Files.h"
#include "sys/LWriteln.h"

namespace fs = std::filesystem;
using namespace volumes;

namespace {

std::string Native(const std::string& path)
{
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

using TProgressCall = std::tuple<int, int, int, int, int>;
constexpr uint32_t kSourceTime = 0x5A2B1C0D;

class TTestSystem : public TExtractSystem {
public:
    static void Pump() { ++Pumps; }
    static inline int Pumps = 0;

    InflateYieldFn QueuePump() override { return Pump; }
    void WaitPumping(unsigned ms) override { Waited += ms; }
    uint64_t TickCount() override { return Tick += 7; }
    uint32_t ProcessId() override { return 4242; }
    bool FileExists(const std::string& path) override { return fs::is_regular_file(Native(path)); }
    bool FolderExists(const std::string& path) override { return fs::is_directory(Native(path)); }
    bool ForceFolders(const std::string& folder) override
    {
        std::error_code ec;
        fs::create_directories(Native(folder), ec);
        return fs::is_directory(Native(folder));
    }
    bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosTime, bool append,
                       bool& existed) override
    {
        const std::string p = Native(path);
        existed = fs::exists(p);
        if (!fs::is_directory(fs::path(p).parent_path()) || fs::is_directory(p)) return false;
        std::ofstream out(p, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out) return false;
        if (dosTime != 0) Times[p] = dosTime;
        return true;
    }
    int64_t FileSize(const std::string& path) override
    {
        std::error_code ec;
        const auto n = fs::file_size(Native(path), ec);
        return ec ? 0 : static_cast<int64_t>(n);
    }
    double DiskFreeBytes(const std::string&) override { return 123456.75; }
    uint32_t FileDosTime(const std::string&) override { return kSourceTime; }
    std::string SysErrorText() override { return "No such folder."; }
    void RegisterAutoPlayCancel() override { ++AutoPlay; }
    void EjectCD(const std::string& path) override { Ejected.push_back(path); }
    bool AskOkCancel(const std::string& text, const std::string& caption, uint8_t charset,
                     const std::string& buttons) override
    {
        Prompts.push_back(text + "|" + caption + "|" + std::to_string(charset) + "|" + buttons);
        return OnPrompt ? OnPrompt(static_cast<int>(Prompts.size())) : false;
    }
    void ShowError(const std::string& text) override { Errors.push_back(text); }

    std::function<bool(int)> OnPrompt;
    std::vector<std::string> Prompts, Errors, Ejected;
    std::map<std::string, uint32_t> Times;
    int AutoPlay = 0;
    unsigned Waited = 0;
    uint64_t Tick = 0;
};

std::string gTrace;
void CaptureTrace(const std::string& piece) { gTrace += piece; }

class UnPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = fs::temp_directory_path() /
               ("lum-unpack-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        fs::create_directories(Root);
        Out = (Root / "out").string();
        gTrace.clear();
        OldSink = SetTraceSink(CaptureTrace);
        ResetSaveErrorCount();
        Args.DestDir = Out;
        Args.DiskPrompt = "Please insert <B>DISK #<disk_num></B> and press OK to continue";
        Args.PromptCaption = "Attention";
        Args.ButtonTexts = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";
        Args.Charset = 1;
        Args.Progress = [this](int kind, int min, int max, int position, int step, const std::string& text) {
            EXPECT_EQ(text, "");
            Calls.emplace_back(kind, min, max, position, step);
        };
    }
    void TearDown() override
    {
        TraceFlush();
        SetTraceSink(OldSink);
        fs::remove_all(Root);
    }

    std::string Volume(const std::string& name, const TVolumeLayout& layout)
    {
        const std::string path = (Root / name).string();
        WriteFile(path, MakeVolume(layout));
        return path;
    }
    void Extract()
    {
        ExtractPackage(Args, System, ChecksumOK, LaunchRecord);
        TraceFlush();
    }
    // Every file and folder below Root, relative to it.
    std::set<std::string> Listing() const
    {
        std::set<std::string> all;
        for (const auto& e : fs::recursive_directory_iterator(Root)) all.insert(fs::relative(e.path(), Root).string());
        return all;
    }
    int Advances() const
    {
        int n = 0;
        for (const TProgressCall& c : Calls) n += std::get<0>(c) == 1;
        return n;
    }

    fs::path Root;
    std::string Out;
    TraceSinkFn OldSink = nullptr;
    TExtractArgs Args;
    TTestSystem System;
    std::vector<TProgressCall> Calls;
    bool ChecksumOK = false;
    std::string LaunchRecord = "stale";
};

std::string Pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}

}  // namespace

TEST_F(UnPack, ManyFilesAcrossTwoVolumesExtractByteIdenticalWithTimes)
{
    const std::string big1 = Pattern(300000, 1), big2 = Pattern(70000, 2);
    const std::string span1 = std::string(100000, 'a'), span2 = Pattern(5000, 3);
    TVolumeLayout v1;
    v1.withStub = true;
    v1.flags = pfMultiVolume;
    v1.filesCount = 8;
    v1.realChecksum = true;
    // Bytes after the package end (a certificate table) that parse as an entry.
    v1.afterPackage = Stored(Header("evil.txt", 0), "after the package end") + std::string(80, '\0');
    v1.entries = {
        Stored(Header("sub\\", 0), ""),
        Stored(Header("sub\\deep\\", 0), ""),
        Entry("|Engine.exe* /x|1248135901|", "MZ engine"),
        Stored(Header("readme.txt", 1248135902), "read me"),
        Compressed(Header("empty.dat", 1248135903), ""),
        Stored("", "no header"),
        std::string(U32Bytes(static_cast<uint32_t>(-3))) + "abc",  // no NUL: no header
        U32Bytes(0),                                              // empty entry
        Compressed(Header("sub\\deep\\big.bin", 1248135904), big1),
        Compressed(Header("sub\\deep\\big.bin", 1248135905), big2),
        Entry(Header("span.bin", 1248135906), span1),
    };
    TVolumeLayout v2;
    v2.realChecksum = true;
    v2.entries = {Entry(Header("span.bin", 1248135907), span2), Entry(Header("last.txt", 1248135908), "the end")};
    Args.SourcePath = Volume("setup.exe", v1);
    Volume("setup.exe.002", v2);

    Extract();

    EXPECT_TRUE(ChecksumOK);
    EXPECT_EQ(LaunchRecord, "Engine.exe* /x");
    EXPECT_TRUE(System.Prompts.empty());
    EXPECT_TRUE(System.Errors.empty());
    EXPECT_EQ(Listing(), (std::set<std::string>{"setup.exe", "setup.exe.002", "out", "out/sub", "out/sub/deep",
                                               "out/Engine.exe", "out/readme.txt", "out/empty.dat",
                                               "out/sub/deep/big.bin", "out/span.bin", "out/last.txt"}));
    const fs::path out = Out;
    EXPECT_EQ(ReadFile(out / "Engine.exe"), "MZ engine");
    EXPECT_EQ(ReadFile(out / "readme.txt"), "read me");
    EXPECT_EQ(fs::file_size(out / "empty.dat"), 0u);
    EXPECT_TRUE(ReadFile(out / "sub/deep/big.bin") == big1 + big2);
    EXPECT_TRUE(ReadFile(out / "span.bin") == span1 + span2);
    EXPECT_EQ(ReadFile(out / "last.txt"), "the end");
    EXPECT_EQ(System.Times, (std::map<std::string, uint32_t>{
                                {(out / "Engine.exe").string(), 1248135901u},
                                {(out / "readme.txt").string(), 1248135902u},
                                {(out / "empty.dat").string(), 1248135903u},
                                {(out / "sub/deep/big.bin").string(), 1248135905u},
                                {(out / "span.bin").string(), 1248135907u},
                                {(out / "last.txt").string(), 1248135908u},
                            }));

    // Set-up, range, one step per new file or folder (appends do not step),
    // one after the change of volume.
    std::vector<TProgressCall> want = {{0, 0, 0, 0, 1}, {0, 0, 8, 0, 1}};
    for (int i = 0; i < 9; ++i) want.emplace_back(1, 0, 0, 0, 1);
    EXPECT_EQ(Calls, want);

    EXPECT_NE(gTrace.find("FileInfo.FilesCount=8\r\n"), std::string::npos);
    const int64_t end1 = static_cast<int64_t>(fs::file_size(Args.SourcePath) - v1.afterPackage.size());
    EXPECT_NE(gTrace.find("FileLen=" + std::to_string(end1) + "\r\n"), std::string::npos);
    EXPECT_NE(gTrace.find("FileLen=" + std::to_string(fs::file_size(Root / "setup.exe.002")) + "\r\n"),
              std::string::npos);
    EXPECT_NE(gTrace.find("UnCompressTime: 7 MS\r\n\r\n"), std::string::npos);
    EXPECT_EQ(System.Waited, 500u);
    EXPECT_GT(TTestSystem::Pumps, 0);
}

TEST_F(UnPack, AgentCopyIsStubImageBlocksAndAgentTrailer)
{
    TVolumeLayout v1;
    v1.withStub = true;
    v1.filesCount = 1;
    v1.afterPackage = std::string(300, 'C');
    v1.entries = {Entry(Header("a.txt", 0), "A")};
    const std::string bytes = MakeVolume(v1);

    struct Case {
        const char* source;
        bool agent;
    } cases[] = {{"setup.exe", true}, {"SETUP.EXE.001", true}, {"setup.bin", false}, {"setup.exe.bak", false}};
    for (const Case& c : cases) {
        fs::remove_all(Out);
        gTrace.clear();
        Args.SourcePath = (Root / c.source).string();
        WriteFile(Args.SourcePath, bytes);
        Args.AgentName = "C:\\Program Files\\Product\\agent.exe";
        Extract();
        fs::remove(Args.SourcePath);
        const fs::path agent = fs::path(Out) / "agent.exe";
        ASSERT_EQ(fs::exists(agent), c.agent) << c.source;
        ASSERT_TRUE(fs::exists(fs::path(Out) / "a.txt"));
        if (!c.agent) continue;

        const std::string copy = ReadFile(agent);
        const size_t headerEnd = HeaderEnd(true);
        ASSERT_EQ(copy.size(), headerEnd + kTrailerSize);
        std::string image = bytes.substr(0, headerEnd);
        PutU32(image, 252, 0);
        EXPECT_TRUE(copy.substr(0, headerEnd) == image);
        const TPackageTrailer original = TrailerFromBytes(std::string_view(bytes).substr(headerEnd + v1.entries[0].size()));
        TPackageTrailer want = original;
        want.AutoUpdateAgent = 1;
        EXPECT_EQ(copy.substr(headerEnd), TrailerBytes(want));
        EXPECT_EQ(static_cast<uint8_t>(copy[headerEnd + 69]), 1);
        EXPECT_EQ(System.Times[agent.string()], kSourceTime);
        EXPECT_NE(gTrace.find("4242 New AU-Agent: " + Out + "\\agent.exe\r\n"), std::string::npos);
    }
}

TEST_F(UnPack, MissingVolumeIsAskedForUntilPresent)
{
    TVolumeLayout v1, v2;
    v1.flags = pfMultiVolume;
    v1.entries = {Entry(Header("one.txt", 0), "1"), Entry("|setup.exe*|0|", "S")};
    v2.entries = {Entry(Header("two.txt", 0), "2")};
    Args.SourcePath = Volume("pkg.exe.001", v1);
    const std::string second = MakeVolume(v2);
    // OK without the disk asks again; the second OK finds it.
    System.OnPrompt = [&](int n) {
        if (n == 2) WriteFile(Root / "pkg.exe.002", second);
        return true;
    };

    Extract();

    const std::string prompt = "Please insert <B>DISK #2</B> and press OK to continue|Attention|1|" + Args.ButtonTexts;
    EXPECT_EQ(System.Prompts, (std::vector<std::string>{prompt, prompt}));
    EXPECT_EQ(System.Ejected, std::vector<std::string>{(Root / "pkg.exe.002").string()});
    EXPECT_EQ(System.AutoPlay, 1);
    EXPECT_TRUE(ChecksumOK);
    EXPECT_EQ(LaunchRecord, "setup.exe*");
    EXPECT_EQ(ReadFile(fs::path(Out) / "two.txt"), "2");
}

TEST_F(UnPack, CancelledPromptKeepsFilesAndDropsLaunch)
{
    TVolumeLayout v1;
    v1.flags = pfMultiVolume;
    v1.entries = {Entry("|setup.exe*|0|", "S")};
    Args.SourcePath = Volume("pkg.exe", v1);
    System.OnPrompt = [](int) { return false; };

    Extract();

    EXPECT_EQ(System.Prompts.size(), 1u);
    EXPECT_TRUE(ChecksumOK);
    EXPECT_EQ(LaunchRecord, "");
    EXPECT_TRUE(fs::exists(fs::path(Out) / "setup.exe"));
    EXPECT_EQ(Calls.back(), TProgressCall(1, 0, 0, 0, 1)) << "the volume change still steps";
}

TEST_F(UnPack, AlwaysPromptAsksForPresentVolumes)
{
    TVolumeLayout v1, v2, v3;
    v1.flags = v2.flags = pfMultiVolume;
    v1.entries = {Entry(Header("1.txt", 0), "1")};
    v2.entries = {Entry(Header("2.txt", 0), "2")};
    v3.entries = {Entry(Header("3.txt", 0), "3")};
    Args.SourcePath = Volume("pkg.exe", v1);
    Volume("pkg.exe.002", v2);
    Volume("pkg.exe.003", v3);
    Args.AlwaysPrompt = true;
    System.OnPrompt = [](int) { return true; };

    Extract();

    ASSERT_EQ(System.Prompts.size(), 2u);
    EXPECT_EQ(System.Prompts[1].substr(0, 28), "Please insert <B>DISK #3</B>");
    EXPECT_TRUE(fs::exists(fs::path(Out) / "3.txt"));
}

TEST_F(UnPack, HostileNamesNeverWriteOutside)
{
    const char* hostile[] = {"..\\escaped.txt", "sub\\..\\..\\escaped2.txt", "..\\", "\\abs.txt", "/abs2.txt",
                             "C:\\drive.txt", "C:rel.txt", "\\\\server\\share\\unc.txt", "...\\dots.txt",
                             ". .\\blank.txt", "CON", "nul.txt", "aux\\x.txt", "file.txt:stream", "",
                             "COM\xB9", "lpt\xB3.txt"};
    TVolumeLayout v1;
    v1.entries.push_back(Entry(Header("good1.txt*", 0), "g1"));
    for (const char* name : hostile) v1.entries.push_back(Entry(Header(name, 0), "hostile"));
    // A skipped entry's launch mark must not name the program to start.
    v1.entries.push_back(Entry(Header("..\\..\\windows\\system32\\cmd.exe* /c", 0), "hostile"));
    // Nor may a "*" outside the name item: with "\\" as the list separator
    // the name is ok.exe, and the path after it is no program to start.
    v1.entries.push_back(Entry("\\ok.exe\\0\\..\\..\\outside\\evil.exe*", "ok"));
    v1.entries.push_back(Entry(Header("good2.txt", 0), "g2"));
    Args.SourcePath = Volume("pkg.exe", v1);
    // The extraction folder is two levels down, so that ".." names have
    // somewhere to land if they were followed.
    Args.DestDir = Out = (Root / "a" / "out").string();

    Extract();

    EXPECT_TRUE(ChecksumOK);
    EXPECT_EQ(Listing(), (std::set<std::string>{"pkg.exe", "a", "a/out", "a/out/good1.txt", "a/out/good2.txt",
                                                "a/out/ok.exe"}));
    EXPECT_EQ(SaveErrorCount(), static_cast<int>(std::size(hostile)) + 1);
    EXPECT_EQ(LaunchRecord, "good1.txt*");
    ASSERT_EQ(System.Errors.size(), 1u) << "only the first save error is shown";
    EXPECT_EQ(System.Errors[0].rfind(Out + "\\..\\escaped.txt<P><P>Unable to save Extracted File!<P><P>", 0), 0u);
    EXPECT_NE(gTrace.find("4242 Damaged entry skipped: sub\\..\\..\\escaped2.txt\r\n"), std::string::npos);
}

// Every kind of damaged entry ends the extraction as a damaged package: the
// files before it stay (the caller removes the folder), nothing of it or
// after it is written, nothing is launched and no later volume is asked for.
TEST_F(UnPack, DamagedEntriesEndAsDamagedPackage)
{
    const std::string launch = Entry("|first.exe*|0|", "F");
    const std::string after = Entry(Header("after.txt", 0), "never");
    const std::string content = Header("cut.bin", 0) + std::string(1, '\0') + "0123456789";
    struct Case {
        const char* what;
        std::string entry;
        bool last;  // cut short: the length counts bytes that stop where the trailer begins
        uint32_t declaredSize = 0;
        const char* trace = "";
    } cases[] = {
        {"INT_MIN", U32Bytes(0x80000000u) + std::string(40, 'x'), false},
        {"compressed past the end", U32Bytes(0x7FFFFFF0u) + std::string(40, 'x'), false},
        {"stored past the end", U32Bytes(static_cast<uint32_t>(-1000000)) + std::string(40, 'x'), false},
        {"stored cut short", U32Bytes(static_cast<uint32_t>(-static_cast<int32_t>(content.size() + 30))) + content,
         true},
        {"compressed cut short", Compressed(Header("cut.bin", 0), Pattern(2000, 5)).substr(0, 60), true},
        {"corrupt zlib stream", CorruptCompressed(Header("bad.bin", 0), Pattern(50000, 9)), false, 0,
         ": EZLibError: zlib stream: data error"},
        // Zip bombs: a stream inflating past what the trailer says all files
        // hold, and one past the bound of every entry whatever is declared.
        {"inflates past the declared size", Compressed(Header("bomb.bin", 0), std::string(300000, '\0')), false, 1000,
         ": EZLibError: zlib stream: inflates past the limit of 66536 bytes"},
        {"inflates past the bound", Compressed(Header("bomb.bin", 0), std::string(kMaxEntryBytes, '\0')), false, 0,
         ": EZLibError: zlib stream: inflates past the limit of 67108864 bytes"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Out);
        gTrace.clear();
        System.Prompts.clear();
        TVolumeLayout v1;
        v1.flags = pfMultiVolume;
        v1.entries = {launch, c.entry};
        v1.declaredSize = c.declaredSize;
        if (!c.last) v1.entries.push_back(after);
        Args.SourcePath = Volume("pkg.exe", v1);
        Extract();
        EXPECT_FALSE(ChecksumOK);
        EXPECT_EQ(LaunchRecord, "");
        EXPECT_TRUE(System.Prompts.empty()) << "no later volume is asked for";
        EXPECT_EQ(Listing(), (std::set<std::string>{"pkg.exe", "out", "out/first.exe"}));
        EXPECT_NE(gTrace.find("4242 Damaged package: "), std::string::npos);
        EXPECT_NE(gTrace.find(c.trace), std::string::npos) << gTrace;
    }
}

TEST_F(UnPack, FailedChecksumOrMissingFirstVolumeExtractsNothing)
{
    TVolumeLayout bad;
    bad.flags = pfMultiVolume;
    bad.checksum = 77;
    bad.entries = {Entry("|setup.exe*|0|", "S")};
    const std::string badPath = Volume("bad.bin", bad);
    for (const std::string& source : {badPath, (Root / "missing.exe").string()}) {
        SCOPED_TRACE(source);
        Calls.clear();
        Args.SourcePath = source;
        Extract();
        EXPECT_FALSE(ChecksumOK);
        EXPECT_EQ(LaunchRecord, "");
        EXPECT_FALSE(fs::exists(Out));
        EXPECT_TRUE(System.Prompts.empty());
        EXPECT_EQ(Calls, std::vector<TProgressCall>{TProgressCall(0, 0, 0, 0, 1)});
    }
}

TEST_F(UnPack, TrailerWithoutMagicSteersNothing)
{
    // A first volume whose magic is wrong: no file, no launch, and its
    // multi-volume bit asks for no next disk. The same as a second volume:
    // the package is damaged, and what the first volume held is not started.
    auto withoutMagic = [](std::string bytes) {
        bytes[bytes.size() - kTrailerSize + 12] ^= 0x5A;
        return bytes;
    };
    TVolumeLayout v;
    v.flags = pfMultiVolume;
    v.entries = {Entry("|setup.exe*|0|", "S")};
    const std::string first = (Root / "first.bin").string();
    WriteFile(first, withoutMagic(MakeVolume(v)));
    Args.SourcePath = first;
    Extract();
    EXPECT_TRUE(ChecksumOK);
    EXPECT_EQ(LaunchRecord, "");
    EXPECT_TRUE(System.Prompts.empty());
    EXPECT_FALSE(fs::exists(Out / fs::path("setup.exe")));

    const std::string one = Volume("two.exe", v);
    TVolumeLayout last;
    last.entries = {Entry("|more.txt|0|", "M")};
    WriteFile((Root / "two.exe.002").string(), withoutMagic(MakeVolume(last)));
    Args.SourcePath = one;
    Extract();
    EXPECT_FALSE(ChecksumOK);
    EXPECT_EQ(LaunchRecord, "");
    EXPECT_TRUE(System.Prompts.empty());
    EXPECT_FALSE(fs::exists(Out / fs::path("more.txt")));
}

TEST_F(UnPack, SaveErrorIsReportedOncePerProcess)
{
    TVolumeLayout v1;
    v1.entries = {Entry(Header("nofolder\\a.txt", 0), "abc"), Entry(Header("nofolder\\b.txt", 0), "abcd")};
    Args.SourcePath = Volume("pkg.exe", v1);

    Extract();
    Extract();

    EXPECT_EQ(SaveErrorCount(), 4);
    EXPECT_EQ(System.Errors,
              std::vector<std::string>{Out + "\\nofolder\\a.txt<P><P>Unable to save Extracted File!<P><P>No such "
                                             "folder.<P>  Data Size: <T>3 Bytes<P>  File Size:  <T>0 Bytes<P>  Bytes "
                                             "Free: <T>123456 Bytes"});
}

TEST_F(UnPack, UncreatableFolderIsReportedAndExtractionGoesOn)
{
    TVolumeLayout v1;
    v1.entries = {Entry(Header("a.txt", 0), "abc")};
    Args.SourcePath = Volume("pkg.exe", v1);
    WriteFile(Root / "file", "x");
    Args.DestDir = (Root / "file" / "out").string();

    Extract();

    ASSERT_EQ(System.Errors.size(), 2u);
    EXPECT_EQ(System.Errors[0], Args.DestDir + "<P><P>Unable to create Directory!<P><P>No such folder.");
    EXPECT_EQ(System.Errors[1].rfind(Args.DestDir + "\\a.txt<P><P>Unable to save Extracted File!", 0), 0u);
    EXPECT_TRUE(ChecksumOK);
}

TEST(UnPackText, DiskPromptAndStubSources)
{
    EXPECT_EQ(DiskPromptText("DISK #<DISK_NUM> of <disk_num>", 12), "DISK #12 of 12");
    EXPECT_EQ(DiskPromptText("no number", 2), "no number");
    EXPECT_EQ(VolumeFileName("D:\\setup.exe.001", 2), "D:\\setup.exe.002");
    EXPECT_EQ(VolumeFileName("D:\\setup.exe", 2), "D:\\setup.exe.002");
    EXPECT_EQ(VolumeFileName("D:\\setup.exe", 13), "D:\\setup.exe.013");
    EXPECT_EQ(VolumeFileName("D:\\setup.exe.001", 1), "D:\\setup.exe.001");
}

TEST(UnPackText, ReadChunkedReadsAllOrFails)
{
    const std::string data = Pattern(200000, 4);
    TMemorySource source(data);
    static int pumps = 0;
    pumps = 0;
    std::string buffer(150000, '\0');
    EXPECT_EQ(ReadChunked(source, 100, buffer, [] { ++pumps; }), 150000);
    EXPECT_TRUE(buffer == data.substr(100, 150000));
    EXPECT_EQ(pumps, 3) << "after every read of at most 64 KiB";
    std::string past(1000, '\0');
    EXPECT_EQ(ReadChunked(source, 199500, past, nullptr), -1);
    std::string none;
    EXPECT_EQ(ReadChunked(source, 0, none, nullptr), 0);
}

// The package writer: what it writes reads back through the reader, entry
// by entry and volume by volume, and a failure leaves no output behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>

#include "package/DosTime.h"
#include "package/PackWriter.h"

namespace fs = std::filesystem;

namespace {

class PackWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() /
              ("lumpack-writer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir / "in");
        std::string stub(2000, '\0');
        stub[0] = 'M', stub[1] = 'Z';
        stub.replace(256, 4, std::string("PE\0\0", 4));
        Stub = Write("stub.exe", stub);
    }
    void TearDown() override { fs::remove_all(Dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Dir / name, std::ios::binary) << bytes;
        return (Dir / name).string();
    }

    TPackPlan Plan(const std::vector<std::pair<std::string, std::string>>& files) {
        TPackPlan p;
        p.StubPath = Stub;
        p.SettingsBlock = "|loc|info.ini|agent.exe|tok|0|";
        for (const auto& [name, bytes] : files) {
            TPackItem item;
            item.Name = name;
            item.SourcePath = Write("in/" + name, bytes);
            p.Items.push_back(item);
        }
        return p;
    }

    // Every entry of every volume, as the extraction would see them.
    struct TRead {
        std::map<std::string, std::string> Files;
        std::vector<TPackEntry> Entries;
        std::vector<TGFileInfo> Infos;
    };
    TRead ReadBack(const std::string& first) {
        TRead r;
        for (int n = 1;; ++n) {
            TPackFile f;
            EXPECT_TRUE(f.Open(VolumeFileName(first, n))) << n;
            TGFileInfo info(f);
            EXPECT_EQ(info.Trailer.Magic, PackageMagic);
            EXPECT_TRUE(ChecksumPasses(info.Trailer.Checksum, PackageChecksum(f, kTrailerSize)));
            const int64_t end = PackageLimit(f);
            for (int64_t pos = info.Trailer.BlocksOffset; end - pos > kTrailerSize;) {
                TEntryFrame frame = ReadEntryFrame(f, pos, end - kTrailerSize);
                EXPECT_EQ(frame.Error, "");
                if (!frame.Error.empty()) return r;
                TPackEntry e = DecodeEntry(frame);
                r.Files[e.Parsed.Name] += e.Data;
                r.Entries.push_back(e);
                pos = frame.Next;
            }
            r.Infos.push_back(info);
            if (!info.MultiVolume()) return r;
        }
    }

    fs::path Dir;
    std::string Stub;
};

std::string Pattern(size_t size, unsigned seed, bool random) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = random ? static_cast<char>(gen()) : "lumidor "[i % 8];
    return s;
}

TEST(SpaceRequired, ExactAndPerClusterSize) {
    const auto s = ComputeSpaceRequired({0, 1, 512, 513, 70000});
    EXPECT_EQ(s[0], 71026u);
    EXPECT_EQ(s[1], 0u + 512 + 512 + 1024 + 137 * 512);  // 512-byte clusters
    EXPECT_EQ(s[4], 0u + 4096 + 4096 + 4096 + 18 * 4096);
    EXPECT_EQ(s[8], 0u + 65536 * 3 + 2 * 65536);
    EXPECT_EQ(ComputeSpaceRequired({5ull << 30})[0], 0xFFFFFFFFu);
}

TEST_F(PackWriterTest, OneVolumeReadsBackEntryByEntry) {
    const std::string big = Pattern(2 * kMaxEntryData + 3, 1, false);
    TPackPlan plan = Plan({{"Engine.exe", Pattern(3000, 2, true)}, {"big.bin", big}, {"empty.dat", ""}});
    plan.Items[0].Launch = true;
    plan.Items[0].LaunchArgs = "/silent";
    plan.Flags = pfShowActivityBar | pfMultiVolume;  // the writer decides pfMultiVolume
    const auto mtime = fs::last_write_time(plan.Items[1].SourcePath);

    TPackReport report;
    const std::string out = (Dir / "setup.exe").string();
    ASSERT_EQ(WritePackage(plan, out, &report), "");
    EXPECT_EQ(report.Volumes, std::vector<std::string>{out});
    EXPECT_EQ(report.Entries, 5u);

    TRead r = ReadBack(out);
    ASSERT_EQ(r.Infos.size(), 1u);
    const TPackageTrailer& t = r.Infos[0].Trailer;
    EXPECT_EQ(t.Flags, pfShowActivityBar);
    EXPECT_EQ(t.FilesCount, 3u);
    EXPECT_EQ(t.BlockCount, 2);
    EXPECT_EQ(t.SpaceRequired[0], 3000u + big.size());
    EXPECT_EQ(r.Infos[0].AgentFileName(), "agent.exe");
    // Small enough to be summed: a real checksum, and the mark is the file's size.
    EXPECT_NE(t.Checksum, kUncomputedChecksum);
    TPackFile f;
    ASSERT_TRUE(f.Open(out));
    EXPECT_EQ(GetPackageEnd(f), fs::file_size(out));

    EXPECT_EQ(r.Files["Engine.exe"], Pattern(3000, 2, true));
    EXPECT_EQ(r.Files["big.bin"], big);
    EXPECT_EQ(r.Files.count("empty.dat"), 1u);
    EXPECT_EQ(r.Files["empty.dat"], "");
    const int32_t dos = DosDateTimeFromTime(std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(mtime))));
    for (const auto& e : r.Entries) {
        EXPECT_LE(e.Data.size(), kMaxEntryData);
        EXPECT_EQ(e.Parsed.LaunchRecord, e.Parsed.Name == "Engine.exe" ? "Engine.exe* /silent" : "");
        if (e.Parsed.Name == "big.bin") {
            EXPECT_EQ(e.Parsed.DosTime, dos);
        }
    }
}

TEST_F(PackWriterTest, VolumesStayWithinTheirSizeAndJoinUp) {
    TPackPlan plan = Plan({{"noise.bin", Pattern(150000, 3, true)}, {"text.txt", Pattern(400000, 4, false)},
                           {"last.bin", Pattern(20000, 5, true)}});
    plan.HasInternetBlock = true;
    plan.InternetBlock = "|http://d/|full.exe|0|tok|1|";
    plan.VolumeSize = 40000;
    TPackReport report;
    const std::string out = (Dir / "multi.exe").string();
    ASSERT_EQ(WritePackage(plan, out, &report), "");
    ASSERT_GE(report.Volumes.size(), 5u);
    for (const auto& v : report.Volumes) EXPECT_LE(fs::file_size(v), 40000u) << v;

    TRead r = ReadBack(out);
    ASSERT_EQ(r.Infos.size(), report.Volumes.size());
    for (size_t i = 0; i < r.Infos.size(); ++i) {
        EXPECT_EQ(r.Infos[i].MultiVolume(), i + 1 < r.Infos.size()) << i;
        EXPECT_EQ(r.Infos[i].InternetBlock, plan.InternetBlock) << i;  // every volume has its blocks
        EXPECT_EQ(r.Infos[i].Trailer.FilesCount, 3 + r.Infos.size() - 1) << i;
        EXPECT_NE(r.Infos[i].Trailer.Checksum, kUncomputedChecksum) << i;
    }
    EXPECT_EQ(r.Files["noise.bin"], Pattern(150000, 3, true));
    EXPECT_EQ(r.Files["text.txt"], Pattern(400000, 4, false));
    EXPECT_EQ(r.Files["last.bin"], Pattern(20000, 5, true));
}

TEST(PackNames, FoldersAreSeparatedByBackslashAndStayInside) {
    for (const char* good : {"a.txt", "sub\\a.txt", "a\\b\\c\\d.bin", ".hidden", "x..y", "Prog Files\\a b.txt"})
        EXPECT_EQ(PackNameError(good), "") << good;
    for (const char* bad : {"", "..\\a", "a\\..\\..\\b", "\\a", "C:\\a", "C:a", "\\\\srv\\share\\a", "a:b",
                            "a/b", "a\\\\b", "a\\", "sub.\\a", "sub \\a", ".\\a", "NUL", "x\\com1.txt", "a|b", "a*"})
        EXPECT_NE(PackNameError(bad), "") << bad;
    EXPECT_EQ(ParentFolders("a\\b\\c.txt"), (std::vector<std::string>{"a\\", "a\\b\\"}));
    EXPECT_TRUE(ParentFolders("c.txt").empty());
}

// The extraction creates no folder for a file: each folder gets one entry,
// before the first entry inside it; FilesCount counts them as the
// extraction's progress does.
TEST_F(PackWriterTest, ProgressCountsEveryByteOnceUpToTheTotal) {
    // Files cut into entries, and entries cut to fit volumes: the progress
    // still grows with every entry and ends at the bytes of all files.
    TPackPlan plan = Plan({{"noise.bin", Pattern(150000, 3, true)}, {"text.txt", Pattern(400000, 4, false)},
                           {"last.bin", Pattern(20000, 5, true)}});
    plan.VolumeSize = 40000;
    plan.MaxEntryData = 100000;
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    plan.Progress = [&calls](uint64_t done, uint64_t total) { calls.emplace_back(done, total); };
    TPackReport report;
    ASSERT_EQ(WritePackage(plan, (Dir / "p.exe").string(), &report), "");
    ASSERT_EQ(calls.size(), report.Entries);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, 570000u) << i;
        if (i > 0) {
            EXPECT_GT(calls[i].first, calls[i - 1].first) << i;
        }
    }
    EXPECT_EQ(calls.back().first, 570000u);
}

TEST_F(PackWriterTest, FolderEntriesComeBeforeTheirContent) {
    TPackPlan plan = Plan({{"top.txt", "t"}, {"noise.bin", Pattern(30000, 7, true)}});
    auto add = [&](const std::string& name, const std::string& source, bool folder) {
        TPackItem item;
        item.Name = name;
        item.SourcePath = source;
        item.Folder = folder;
        plan.Items.push_back(item);
    };
    add("app\\lib\\deep\\one.txt", plan.Items[0].SourcePath, false);
    add("app\\empty", "", true);
    add("APP\\lib\\two.bin", plan.Items[1].SourcePath, false);  // folders meet without regard to case
    add("app\\empty", "", true);                                 // declared twice, written once
    plan.Items[1].Name = "late\\noise.bin";
    plan.VolumeSize = 36000;  // two.bin runs on into volume 2
    TPackReport report;
    const std::string out = (Dir / "tree.exe").string();
    ASSERT_EQ(WritePackage(plan, out, &report), "");
    ASSERT_EQ(report.Volumes.size(), 2u);

    TRead r = ReadBack(out);
    std::vector<std::string> names;
    for (const auto& e : r.Entries)
        if (names.empty() || names.back() != e.Parsed.Name) names.push_back(e.Parsed.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"top.txt", "late\\", "late\\noise.bin", "app\\", "app\\lib\\",
                                               "app\\lib\\deep\\", "app\\lib\\deep\\one.txt", "app\\empty\\",
                                               "APP\\lib\\two.bin"}));
    for (const auto& e : r.Entries)
        if (e.Parsed.Name.back() == '\\') {
            EXPECT_EQ(e.Data, "") << e.Parsed.Name;
            EXPECT_EQ(e.Parsed.DosTime, 0) << e.Parsed.Name;
        }
    EXPECT_EQ(report.Folders, 5u);
    EXPECT_EQ(r.Infos[0].Trailer.FilesCount, 4u + 5u + 1u);  // files, folders, one change of volume
    EXPECT_EQ(r.Files["APP\\lib\\two.bin"], Pattern(30000, 7, true));
}

TEST_F(PackWriterTest, FailuresLeaveNoOutput) {
    const std::string out = (Dir / "out.exe").string();
    Write("out.exe.002", "an older volume");
    struct Case {
        const char* what;
        std::function<void(TPackPlan&)> change;
        std::string error;
    };
    const Case cases[] = {
        {"stub not PE", [&](TPackPlan& p) { p.StubPath = Write("nope.exe", std::string(3000, 'M')); }, "not a PE image"},
        {"stub missing", [](TPackPlan& p) { p.StubPath += ".gone"; }, "cannot read the stub"},
        {"unsafe name", [](TPackPlan& p) { p.Items[0].Name = "..\\evil.txt"; }, "unsafe name"},
        {"name with a bar", [](TPackPlan& p) { p.Items[0].Name = "a|b"; }, "cannot appear in a name"},
        {"file and folder", [](TPackPlan& p) { p.Items[1].Name = "a.txt\\b.txt"; }, "as a file and also as a folder"},
        {"source gone", [](TPackPlan& p) { p.Items[1].SourcePath += ".gone"; }, "is not a readable file"},
        {"volume too small", [](TPackPlan& p) { p.VolumeSize = 2500; }, "too small"},
    };
    for (const auto& c : cases) {
        TPackPlan plan = Plan({{"a.txt", "aaa"}, {"b.txt", Pattern(100000, 6, true)}});
        c.change(plan);
        const std::string error = WritePackage(plan, out);
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_FALSE(fs::exists(out)) << c.what;
        for (const auto& e : fs::directory_iterator(Dir))
            EXPECT_EQ(e.path().string().find(".lumpack-tmp"), std::string::npos) << c.what << ": " << e.path();
    }
    std::ifstream older(Dir / "out.exe.002");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(older), {}), "an older volume");
}

}  // namespace

// The extraction under Wine with the Win32 system: a package written by the
// package writer on the real stub, across two volumes with the second one
// brought in at the prompt; declared folders and hostile names on real
// Windows paths; a corrupt stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "../unit/VolumeMaker.h"
#include "WinTestKit.h"
#include "package/PackWriter.h"
#include "package/UnPackWin.h"
#include "sys/Files.h"

using namespace wintest;

namespace {



// Sets a file's time to a DOS date-time (what the writer will store).
void Stamp(const std::string& path, uint32_t dos)
{
    FileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME local{}, utc{};
    ASSERT_TRUE(DosDateTimeToFileTime(HIWORD(dos), LOWORD(dos), &local) && LocalFileTimeToFileTime(&local, &utc) &&
                SetFileTime(f.Get(), nullptr, nullptr, &utc));
}

std::string Pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        // Half noise, half runs: some entries compress, some are stored.
        s[i] = (i / 4096) % 2 ? static_cast<char>(x >> 24) : static_cast<char>('a' + (i / 64) % 26);
    }
    return s;
}

// The names of a volume's file entries, in order.
std::vector<std::string> NamesInVolume(const std::string& path)
{
    TPackFile file;
    if (!file.Open(path)) return {};
    const TGFileInfo info(file);
    const int64_t limit = PackageLimit(file) - kTrailerSize;
    std::vector<std::string> names;
    for (int64_t at = info.Trailer.BlocksOffset; at < limit;) {
        const TEntryFrame frame = ReadEntryFrame(file, at, limit);
        if (!frame.Error.empty()) break;
        names.push_back(DecodeEntry(frame).Parsed.Name);
        at = frame.Next;
    }
    return names;
}

struct TRun {
    bool checksumOK = false;
    std::string launch;
    std::vector<std::string> prompts, errors;
    int steps = 0;
};

TRun Extract(const std::string& source, const std::string& dest, const std::string& agent,
             std::function<bool(int)> answer)
{
    TRun run;
    TExtractDialogs dialogs;
    dialogs.OkCancel = [&](const std::string& text, const std::string& caption, uint8_t, const std::string&) {
        run.prompts.push_back(caption + ": " + text);
        return answer ? answer(static_cast<int>(run.prompts.size())) : false;
    };
    dialogs.Error = [&](const std::string& text) { run.errors.push_back(text); };
    auto progress = [&](int kind, int, int, int, int, const std::string&) { run.steps += kind == 1; };
    ExtractPackage(source, dest, agent, run.checksumOK, progress, "Please insert <B>DISK #<DISK_NUM></B>", "Attention",
                   "", 0, false, run.launch, dialogs);
    return run;
}

}  // namespace

TEST(UnPackWin, WriterPackageOverTwoVolumesExtractsByteIdenticalWithTimes)
{
    ScratchTree dir("unpack-volumes");
    ASSERT_TRUE(ForceFolders(dir.File("src")));
    const std::map<std::string, std::string> files = {
        {"Engine.exe", "MZ" + Pattern(20000, 1)},
        {"big.bin", Pattern(600000, 2)},  // several entries, across the volume boundary
        {"empty.dat", ""},
        {"notes.txt", std::string(50000, 'n')},
        {"tail.txt", "last file"},
    };
    TPackPlan plan;
    plan.StubPath = BuildFile("stub.exe");
    plan.LanguageBlock = "\x02" "English\x01" "s0=Setup\x01\x02";
    plan.SettingsBlock = "|||agent.exe||0|";
    plan.MaxEntryData = 65536;
    uint32_t dos = 0x3AF57B00;
    for (const auto& [name, data] : files) {
        const std::string path = dir.File("src\\" + name);
        ASSERT_TRUE(WriteDataFile(path, data, 0, false));
        Stamp(path, dos += 0x20);
        TPackItem item;
        item.Name = name;
        item.SourcePath = path;
        item.Launch = name == "Engine.exe";
        item.LaunchArgs = item.Launch ? "/silent" : "";
        plan.Items.push_back(item);
    }
    plan.VolumeSize = FileSize64(plan.StubPath) + 300000;
    const std::string package = dir.File("setup.exe");
    TPackReport report;
    ASSERT_EQ(WritePackage(plan, package, &report), "");
    ASSERT_EQ(report.Volumes.size(), 2u);
    const std::string second = dir.File("setup.exe.002");
    const std::vector<std::string> first = NamesInVolume(package), next = NamesInVolume(second);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(next.empty());
    ASSERT_EQ(first.back(), next.front()) << "a file continues in the second volume";
    ASSERT_GT(std::count(first.begin(), first.end(), "big.bin"), 1) << "a file over several entries";
    ASSERT_TRUE(MoveFileA(second.c_str(), dir.File("elsewhere.002").c_str()));

    // Cancel at the prompt: the first volume's files stay, nothing is to start.
    TRun cancelled = Extract(package, dir.File("out1"), "", nullptr);
    EXPECT_EQ(cancelled.prompts, std::vector<std::string>{"Attention: Please insert <B>DISK #2</B>"});
    EXPECT_EQ(cancelled.launch, "");
    EXPECT_TRUE(FileExistsX(dir.File("out1\\Engine.exe")));
    EXPECT_FALSE(FileExistsX(dir.File("out1\\tail.txt")));

    // OK once the disk is in: everything arrives, with the agent copy.
    TRun run = Extract(package, dir.File("out2"), "C:\\Product\\agent.exe", [&](int) {
        return MoveFileA(dir.File("elsewhere.002").c_str(), second.c_str()) != 0;
    });
    EXPECT_EQ(run.prompts.size(), 1u);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_TRUE(run.checksumOK);
    EXPECT_EQ(run.launch, "Engine.exe* /silent");
    EXPECT_EQ(run.steps, static_cast<int>(files.size()) + 1) << "one per file and one for the volume change";
    for (const auto& [name, data] : files) {
        const std::string out = dir.File("out2\\" + name);
        EXPECT_TRUE(ReadWholeFile(out) == data) << name;
        EXPECT_EQ(DosTimeOf(out), DosTimeOf(dir.File("src\\" + name))) << name;
    }

    const std::string agent = ReadWholeFile(dir.File("out2\\agent.exe"));
    const TGFileInfo info(package);  // its BlocksOffset is now the end of the header blocks
    const size_t headerEnd = info.Trailer.BlocksOffset;
    ASSERT_EQ(agent.size(), headerEnd + kTrailerSize);
    std::string image = ReadWholeFile(package).substr(0, headerEnd);
    PutU32(image, 252, 0);  // the copy ends with its trailer
    EXPECT_TRUE(agent.substr(0, headerEnd) == image);
    EXPECT_EQ(agent[headerEnd + 69], 1) << "marked as agent";
    EXPECT_EQ(GetU32(agent, headerEnd + 70), kTrailerSize);
    EXPECT_EQ(DosTimeOf(dir.File("out2\\agent.exe")), DosTimeOf(package));
}

TEST(UnPackWin, DeclaredFoldersAndHostileNames)
{
    ScratchTree dir("unpack-hostile");
    const std::string pid = std::to_string(GetCurrentProcessId());
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    const std::string outside[] = {
        dir.File("escape-" + pid + ".txt"),        // ..\ from the extraction folder
        "C:\\lum-drive-" + pid + ".txt",            // drive absolute
        std::string(1, cwd[0]) + ":\\lum-abs-" + pid + ".txt",  // rooted on the current drive
        std::string(cwd) + "\\lum-rel-" + pid + ".txt",         // drive relative (C: current folder)
    };
    using volumes::Entry;
    using volumes::Header;
    volumes::TVolumeLayout layout;
    layout.entries = {
        Entry(Header("sub\\", 0), ""),
        Entry(Header("sub\\deep\\", 0), ""),
        Entry(Header("sub\\deep\\f.txt", 0x3AF57B2D), "nested"),
        Entry(Header("..\\escape-" + pid + ".txt", 0), "x"),
        Entry(Header("C:\\lum-drive-" + pid + ".txt", 0), "x"),
        Entry(Header("\\lum-abs-" + pid + ".txt", 0), "x"),
        Entry(Header("C:lum-rel-" + pid + ".txt", 0), "x"),
        Entry(Header("..\\", 0), ""),
        Entry(Header("ok.txt", 0), "fine"),
    };
    const std::string package = dir.File("pkg.bin");
    ASSERT_TRUE(WriteDataFile(package, volumes::MakeVolume(layout), 0, false));

    TRun run = Extract(package, dir.File("out"), "", nullptr);

    EXPECT_TRUE(run.checksumOK);
    EXPECT_EQ(ReadWholeFile(dir.File("out\\sub\\deep\\f.txt")), "nested");
    EXPECT_EQ(DosTimeOf(dir.File("out\\sub\\deep\\f.txt")), 0x3AF57B2Du);
    EXPECT_EQ(ReadWholeFile(dir.File("out\\ok.txt")), "fine");
    for (const std::string& path : outside) EXPECT_FALSE(FileExistsX(path)) << path;
    EXPECT_EQ(run.errors.size(), 1u) << "the first refused name is reported as a save error";
    EXPECT_EQ(run.steps, 4) << "two folders, two files";
}

TEST(UnPackWin, CorruptStreamEndsAsDamagedPackage)
{
    ScratchTree dir("unpack-corrupt");
    volumes::TVolumeLayout layout;
    layout.entries = {volumes::Entry(volumes::Header("first.txt", 0), "kept"),
                    volumes::CorruptCompressed(volumes::Header("bad.bin", 0), Pattern(100000, 3))};
    const std::string package = dir.File("pkg.bin");
    ASSERT_TRUE(WriteDataFile(package, volumes::MakeVolume(layout), 0, false));
    const auto run = Extract(package, dir.File("out"), "", nullptr);
    EXPECT_FALSE(run.checksumOK);
    EXPECT_EQ(run.launch, "");
    EXPECT_EQ(ReadWholeFile(dir.File("out\\first.txt")), "kept");
    EXPECT_FALSE(FileExistsX(dir.File("out\\bad.bin")));
}

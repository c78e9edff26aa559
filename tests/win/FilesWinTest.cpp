// Files under Wine: data files with their times, tree deletion and search,
// free space, and the self-deletion batch against a real running program.
#include <gtest/gtest.h>

#include <functional>

#include "WinTestKit.h"
#include "sys/Files.h"
#include "sys/Utils.h"

using namespace wintest;

namespace {



void Put(const std::string& path, const std::string& data) { ASSERT_TRUE(WriteDataFile(path, data, 0, false)) << path; }

bool WaitUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(100);
    }
    return true;
}

}  // namespace

TEST(FilesWin, WriteDataFileCreatesAppendsAndStampsTime)
{
    ScratchTree dir("files-write");
    const std::string f = dir.File("data.bin");
    const uint32_t stamp = 0x3AF57B2D;  // 2009-07-21 15:25:26 as a DOS date-time
    EXPECT_TRUE(WriteDataFile(f, "first", stamp, false));
    EXPECT_EQ(DosTimeOf(f), stamp);
    bool existed = false;
    EXPECT_TRUE(WriteDataFile(f, "+second", 0, true, existed));
    EXPECT_TRUE(existed);
    EXPECT_EQ(ReadWholeFile(f), "first+second");
    EXPECT_TRUE(WriteDataFile(dir.File("new.bin"), "n", 0, true, existed));
    EXPECT_FALSE(existed) << "appending to a missing file creates it";
    EXPECT_TRUE(WriteDataFile(f, "new", 0, false)) << "not appending empties the file";
    EXPECT_EQ(ReadWholeFile(f), "new");

    // Above 1 MiB the data goes in pieces; every byte arrives in order.
    std::string big(3 * 1048576 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 12));
    EXPECT_TRUE(WriteDataFile(f, big, stamp, true));
    EXPECT_TRUE(ReadWholeFile(f) == "new" + big);
    EXPECT_EQ(FileSize64(f), static_cast<int64_t>(big.size() + 3));
    EXPECT_EQ(DosTimeOf(f), stamp);

    EXPECT_TRUE(WriteDataFile(dir.File("empty.dat"), "", 0, false));
    EXPECT_TRUE(FileExistsX(dir.File("empty.dat")));
    // No folder, no file: a failure, for empty data too.
    EXPECT_FALSE(WriteDataFile(dir.File("missing\\x.txt"), "x", 0, true));
    EXPECT_FALSE(WriteDataFile(dir.File("missing\\empty.txt"), "", 0, false));
}

TEST(FilesWin, DeleteTreeAndDeleteFilesByMask)
{
    ScratchTree dir("files-tree");
    ASSERT_TRUE(ForceFolders(dir.File("a\\b\\c")));
    Put(dir.File("top.tmp"), "1");
    Put(dir.File("keep.txt"), "2");
    Put(dir.File("a\\one.txt"), "3");
    Put(dir.File("a\\b\\c\\deep.txt"), "4");
    Put(dir.File("a\\b\\ro.txt"), "5");
    SetFileAttributesA(dir.File("a\\b\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    EXPECT_TRUE(DeleteFilesByMask(dir.File("*.tmp"), false));
    EXPECT_FALSE(FileExistsX(dir.File("top.tmp")));
    EXPECT_TRUE(FileExistsX(dir.File("keep.txt")));
    EXPECT_FALSE(DeleteFilesByMask(dir.File("*.tmp"), false)) << "nothing matches any more";

    // Without clearing attributes the read-only file stays, and so the tree.
    EXPECT_FALSE(DeleteTree(dir.File("a"), false));
    EXPECT_TRUE(FileExistsX(dir.File("a\\b\\ro.txt")));
    EXPECT_FALSE(FolderExistsX(dir.File("a\\b\\c")));
    EXPECT_TRUE(DeleteTree(dir.File("a"), true));
    EXPECT_FALSE(FolderExistsX(dir.File("a")));

    EXPECT_FALSE(DeleteTree(dir.File("a"), true)) << "a missing folder";
    EXPECT_FALSE(DeleteTree("", true));
    EXPECT_TRUE(FileExistsX(dir.File("keep.txt")));
}

TEST(FilesWin, FindInTreeAndOnDrives)
{
    ScratchTree dir("files-find");
    ASSERT_TRUE(ForceFolders(dir.File("x\\y\\Target")));
    ASSERT_TRUE(ForceFolders(dir.File("z")));
    Put(dir.File("x\\y\\Target\\needle.dat"), "needle");

    std::string path = "stale";
    EXPECT_TRUE(FindFileInTree(dir.Path, "needle.dat", path));
    EXPECT_EQ(path, dir.File("x\\y\\Target\\needle.dat"));
    EXPECT_TRUE(FindFileInTree(dir.Path + "\\", "needle.dat", path)) << "a trailing backslash is the same folder";
    EXPECT_EQ(path, dir.File("x\\y\\Target\\needle.dat"));
    EXPECT_FALSE(FindFileInTree(dir.Path, "hay.dat", path));
    EXPECT_EQ(path, "");

    EXPECT_TRUE(FindFolderInTree(dir.Path, "target", path));
    EXPECT_EQ(path, dir.File("x\\y\\Target"));
    EXPECT_FALSE(FindFolderInTree(dir.File("z"), "Target", path));

    // A full path is looked at directly on its drive (the temporary folder is on C:).
    EXPECT_TRUE(FindFolderOnDrives(dir.File("x\\y"), DRIVE_FIXED, path));
    EXPECT_EQ(path, dir.File("x\\y"));
    EXPECT_FALSE(FindFolderOnDrives(dir.File("x\\nothing"), DRIVE_FIXED, path));
    EXPECT_FALSE(FindFolderOnDrives(dir.File("x\\y"), DRIVE_CDROM, path));

    EXPECT_EQ(FileSize64(dir.File("x\\y\\Target\\needle.dat")), 6);
    EXPECT_EQ(FileSize64(dir.File("nothing.dat")), 0);
}

TEST(FilesWin, ReadFilePart)
{
    ScratchTree dir("files-read");
    const std::string f = dir.File("part.txt");
    Put(f, "  0123456789  ");
    std::string text;
    ReadFilePart(f, 0, false, text);
    EXPECT_EQ(text, "  0123456789  ");
    ReadFilePart(f, 0, true, text);
    EXPECT_EQ(text, "0123456789");
    ReadFilePart(f, 4, false, text, 3);
    EXPECT_EQ(text, "1234");
    ReadFilePart(f, 100, true, text, 10);
    EXPECT_EQ(text, "89");
    for (int64_t start : {int64_t{14}, int64_t{-1}, int64_t{1000}}) {
        text = "stale";
        ReadFilePart(f, 0, false, text, start);
        EXPECT_EQ(text, "") << start;
    }
    ReadFilePart(dir.File("missing.txt"), 0, false, text);
    EXPECT_EQ(text, "");
}

TEST(FilesWin, DiskFreeAndEject)
{
    const std::string temp = TempFolder(false);
    const double free = DiskFreeBytes(temp);
    ULARGE_INTEGER toCaller{}, total{}, totalFree{};
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &toCaller, &total, &totalFree));
    EXPECT_GT(free, 0);
    // Other programs write meanwhile: the same figure within 1 GiB.
    EXPECT_NEAR(free, static_cast<double>(toCaller.QuadPart), 1073741824.0);
    EXPECT_EQ(DiskFreeBytes("Q:\\no\\such\\drive"), -1);

    // Not CD-ROM drives: nothing is opened or ejected.
    for (const char* path : {"C:\\", "1:\\x", "", "\\\\server\\share"}) EXPECT_FALSE(EjectCD(path)) << path;
}

TEST(SelfDelete, BatchRemovesProgramAndFolderAfterItEnds)
{
    ScratchTree dir("files-selfdel");
    const std::string folder = dir.File("Y_run dir");
    const std::string exe = folder + "\\Y_ping copy.exe";
    ASSERT_TRUE(ForceFolders(folder));
    ASSERT_TRUE(CopyFileA((SystemFolder(true) + "ping.exe").c_str(), exe.c_str(), FALSE));

    // The copy runs for about two seconds, as a stub copy would before it ends.
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\" -n 3 127.0.0.1";
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    KernelHandle process(pi.hProcess), thread(pi.hThread);

    const std::string batch = StartSelfDeleteBatch(exe, dir.Path, true);
    ASSERT_FALSE(batch.empty());
    Sleep(500);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the copy still runs";
    EXPECT_TRUE(FileExistsX(exe)) << "a running program cannot be deleted";

    ASSERT_EQ(WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntil([&] { return !FileExistsX(exe) && !FolderExistsX(folder) && !FileExistsX(batch); }, 20000))
        << "exe " << FileExistsX(exe) << " folder " << FolderExistsX(folder) << " batch " << FileExistsX(batch);
}

TEST(SelfDelete, BatchGivesUpOnAFileThatCannotBeDeleted)
{
    ScratchTree dir("files-selfdel-locked");
    const std::string locked = dir.File("locked.exe");
    Put(locked, "MZ");
    // Held open without delete sharing for the whole test: never deletable.
    FileHandle hold(CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);

    const DWORD start = GetTickCount();
    const std::string batch = StartSelfDeleteBatch(locked, dir.Path, false, 3);
    ASSERT_FALSE(batch.empty());
    EXPECT_TRUE(WaitUntil([&] { return !FileExistsX(batch); }, 30000)) << "the batch must give up and go";
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1500u) << "it waits between its three attempts";
    EXPECT_TRUE(FileExistsX(locked));
}

TEST(SelfDelete, BatchIsNewUnguessableAndDeletesANonAsciiPath)
{
    ScratchTree dir("files-selfdel-oem");
    // "\xE9" is e-acute in the ANSI code page; the interpreter reads its batch
    // in the OEM code page, where that byte is another letter: written as
    // ANSI, the batch names a file that does not exist and never deletes.
    const std::string folder = dir.File("d\xE9j\xE0 vu");
    const std::string exe = folder + "\\Y_caf\xE9.exe";
    ASSERT_TRUE(ForceFolders(folder));
    Put(exe, "MZ");
    // The old fixed name, planted: never opened, never run, never changed.
    const std::string planted = dir.File("_DEL_ME_.BAT");
    Put(planted, "@ECHO planted\r\n");

    const std::string batch = StartSelfDeleteBatch(exe, dir.Path, true, 10);
    ASSERT_FALSE(batch.empty());
    const std::string name = NamePart(batch);
    EXPECT_EQ(name.size(), std::string("_DEL_0123456789ABCDEF.BAT").size()) << name;
    EXPECT_EQ(name.rfind("_DEL_", 0), 0u) << name;
    EXPECT_NE(name, "_DEL_ME_.BAT");
    EXPECT_TRUE(WaitUntil([&] { return !FileExistsX(exe) && !FolderExistsX(folder) && !FileExistsX(batch); }, 30000))
        << "exe " << FileExistsX(exe) << " folder " << FolderExistsX(folder) << " batch " << FileExistsX(batch);
    std::string text;
    ReadFilePart(planted, 0, false, text);
    EXPECT_EQ(text, "@ECHO planted\r\n");

    // Two batches never share a name.
    ASSERT_TRUE(ForceFolders(folder));
    Put(folder + "\\a.exe", "MZ");
    const std::string second = StartSelfDeleteBatch(folder + "\\a.exe", dir.Path, false, 10);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(NamePart(second), name);
    EXPECT_TRUE(WaitUntil([&] { return !FileExistsX(folder + "\\a.exe") && !FileExistsX(second); }, 30000));
}

// PrivateFolder under Wine: a folder of ours is new (a taken name, a file or
// a link at it is passed over), carries the explicit protected access list
// (read back; Wine stores it but does not enforce it), and the clean-up and
// the writers never follow a link.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "WinTestKit.h"
#include "sys/Files.h"
#include "sys/PrivateFolder.h"

using namespace wintest;

namespace {

void Put(const std::string& path, const std::string& data) { ASSERT_TRUE(WriteDataFile(path, data, 0, false)) << path; }

// The folder's access list as a security-descriptor string, "" on failure.
std::string DaclText(const std::string& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &sd) != ERROR_SUCCESS)
        return "";
    LPSTR text = nullptr;
    std::string result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                             nullptr) &&
        text) {
        result = text;
        LocalFree(text);
    }
    LocalFree(sd);
    return result;
}

// Whether this system keeps an explicit, protected access list given to a
// new folder (Wine without extended attributes on its disk keeps none, and
// reads back its own default): plain system calls, none of ours.
bool SystemKeepsFolderAccessLists(const std::string& path)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)", SDDL_REVISION_1, &sd, nullptr))
        return false;
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    const bool made = CreateDirectoryA(path.c_str(), &sa);
    LocalFree(sd);
    return made && DaclText(path) == "D:P(A;OICI;FA;;;SY)";
}

// A directory link made with the system's call; empty when the system cannot
// make one (then the test says so and skips).
bool MakeFolderLink(const std::string& link, const std::string& target)
{
    using Fn = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    return fn && fn(link.c_str(), target.c_str(), 1 /* SYMBOLIC_LINK_FLAG_DIRECTORY */) &&
           IsReparsePoint(link);
}

TEST(PrivateFolder, MadeNewWithTheProtectedAccessList)
{
    ScratchTree dir("private-new");
    if (!SystemKeepsFolderAccessLists(dir.File("probe")))
        GTEST_SKIP() << "this system does not keep a folder's explicit access list: " << DaclText(dir.File("probe"));
    const std::string base = dir.File("SETUP_");
    // Taken names: a leftover folder with a file, a plain file.
    ASSERT_TRUE(CreateDirectoryA((base + "100").c_str(), nullptr));
    Put(base + "100\\planted.exe", "MZ planted");
    Put(base + "101", "a file");

    EXPECT_FALSE(CreatePrivateFolder(base + "100")) << "an existing folder is never taken over";
    const std::string made = CreateNumberedPrivateFolder(base, 100, 5);
    EXPECT_EQ(made, base + "102");
    std::string kept;
    ReadFilePart(base + "100\\planted.exe", 0, false, kept);
    EXPECT_EQ(kept, "MZ planted") << "what was there stays as it was";
    EXPECT_EQ(CreateNumberedPrivateFolder(base, 100, 2), "") << "bounded: two taken names, two tries";

    const std::string want = PrivateFolderSddl(RunsElevated());
    ASSERT_FALSE(want.empty());
    const std::string got = DaclText(made);
    EXPECT_EQ(got.rfind("D:P", 0), 0u) << "protected, nothing inherited from %TEMP%: " << got;
    if (RunsElevated()) {
        // Full control for SYSTEM and the Administrators only; the users read.
        EXPECT_NE(got.find(";FA;;;SY)"), std::string::npos) << got;
        EXPECT_NE(got.find(";FA;;;BA)"), std::string::npos) << got;
        EXPECT_EQ(got.find(";FA;;;BU)"), std::string::npos) << got;
    }
    EXPECT_EQ(got.find("(A;;"), std::string::npos) << "every entry is inherited by what is inside: " << got;
    EXPECT_EQ(std::count(got.begin(), got.end(), '('), std::count(want.begin(), want.end(), '(')) << got;

    // The roomier drive's fall-back gets the same: a folder below a missing
    // parent is made new with its parents.
    const std::string nested = CreateNumberedPrivateFolder(dir.File("TEMP\\TEMP_"), 5000, 3);
    EXPECT_EQ(nested, dir.File("TEMP\\TEMP_5000"));
    EXPECT_EQ(DaclText(nested).rfind("D:P", 0), 0u) << DaclText(nested);
}

TEST(PrivateFolder, LinksAreNeverFollowed)
{
    ScratchTree dir("private-links");
    const std::string target = dir.File("elsewhere");
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
    Put(target + "\\precious.txt", "keep me");
    const std::string root = dir.File("SETUP_7");
    ASSERT_TRUE(CreatePrivateFolder(root));
    if (!MakeFolderLink(root + "\\sub", target) || !MakeFolderLink(dir.File("SETUP_8"), target))
        GTEST_SKIP() << "this system makes no directory links";

    // A link taken for the work folder is not ours: the next number is made.
    EXPECT_EQ(CreateNumberedPrivateFolder(dir.File("SETUP_"), 8, 3), dir.File("SETUP_9"));
    EXPECT_TRUE(PathCrossesReparsePoint(root, root + "\\sub\\x.txt"));
    EXPECT_TRUE(PathCrossesReparsePoint(root, root + "\\sub"));
    EXPECT_FALSE(PathCrossesReparsePoint(root, root + "\\plain\\x.txt"));
    EXPECT_TRUE(PathCrossesReparsePoint(root, dir.File("SETUP_70\\x")));

    // Deleting the folder that holds a link, and a link in a folder's place:
    // the links go, what they point to stays.
    EXPECT_TRUE(DeleteTree(root, true));
    EXPECT_FALSE(FolderExistsX(root));
    EXPECT_TRUE(DeleteTree(dir.File("SETUP_8"), true));
    EXPECT_FALSE(IsReparsePoint(dir.File("SETUP_8")));
    std::string kept;
    ReadFilePart(target + "\\precious.txt", 0, false, kept);
    EXPECT_EQ(kept, "keep me");
}

}  // namespace

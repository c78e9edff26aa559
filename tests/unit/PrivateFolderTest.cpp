// The portable rules of the private folders: numbered names and the
// reparse points between a root and a path below it.
#include <gtest/gtest.h>

#include <string>

#include "sys/PrivateFolder.h"

namespace {

TEST(PrivateFolder, NumberedNames)
{
    EXPECT_EQ(NumberedFolderName("C:\\T\\SETUP_", 4660, 0), "C:\\T\\SETUP_4660");
    EXPECT_EQ(NumberedFolderName("C:\\T\\SETUP_", 4660, 2), "C:\\T\\SETUP_4662");
    EXPECT_EQ(NumberedFolderName("C:\\TEMP_", 0xFFFFFFFFu, 1), "C:\\TEMP_0");
}

TEST(PrivateFolder, PathsBelowTheRootCrossNoLink)
{
    static std::string link;  // the one reparse point of the case
    struct Case {
        const char* link;
        const char* path;
        bool crosses;
    } cases[] = {
        {"", "C:\\T\\SETUP_7\\sub\\a.txt", false},
        {"", "C:\\T\\SETUP_7", false},
        {"", "c:\\t\\setup_7\\A.TXT", false},                  // case does not matter
        {"", "C:\\T\\SETUP_70\\a.txt", true},                   // a sibling, not below
        {"", "C:\\T\\a.txt", true},                               // above the root
        {"C:\\T\\SETUP_7\\sub", "C:\\T\\SETUP_7\\sub\\deep\\a.txt", true},
        {"C:\\T\\SETUP_7\\sub", "C:\\T\\SETUP_7\\subway\\a.txt", false},
        {"C:\\T\\SETUP_7\\sub\\a.txt", "C:\\T\\SETUP_7\\sub\\a.txt", true},  // the file itself
        {"C:\\T\\SETUP_7", "C:\\T\\SETUP_7\\a.txt", true},  // the root itself
        {"C:\\T", "C:\\T\\SETUP_7\\a.txt", false},            // above the root is not ours to judge
    };
    for (const Case& c : cases) {
        link = c.link;
        EXPECT_EQ(PathCrossesReparsePoint("C:\\T\\SETUP_7\\", c.path,
                                          [](const std::string& p) { return !link.empty() && p == link; }),
                  c.crosses)
            << c.link << " / " << c.path;
    }
}

}  // namespace

// The registry's portable rules: how a path splits and how a value's bytes
// become its text.
#include <gtest/gtest.h>

#include "sys/RegText.h"

TEST(RegText, SplitRegPath)
{
    const struct {
        const char* path;
        TRegRoot root;
        const char* subkey;
    } cases[] = {
        {"HKLM\\Software\\X", TRegRoot::LocalMachine, "Software\\X"},
        {"  hkey_classes_root\\.txt  ", TRegRoot::ClassesRoot, ".txt"},
        {"HKU", TRegRoot::Users, ""},
        {"HKCC\\", TRegRoot::CurrentConfig, ""},
        {"Software\\X", TRegRoot::CurrentUser, "Software\\X"},  // no root: below the current user
        {"HKFOO\\Bar", TRegRoot::CurrentUser, "Bar"},           // unknown root name
        {"", TRegRoot::CurrentUser, ""},
    };
    for (const auto& c : cases) {
        const TRegPathText p = SplitRegPathText(c.path);
        EXPECT_EQ(p.root, c.root) << c.path;
        EXPECT_EQ(p.subkey, c.subkey) << c.path;
    }
}

TEST(RegText, DataText)
{
    using namespace std::string_literals;
    const uint32_t kSz = 1, kBinary = 3;
    const struct {
        uint32_t type;
        std::string data;
        const char* text;
    } cases[] = {
        {kRegTypeDword, "\x2A\0\0\0"s, "42"},
        {kRegTypeDword, "\xFF\xFF\xFF\xFF"s, "4294967295"},
        {kRegTypeDword, "AB\0"s, "AB"},  // not 4 bytes: read as text
        {kRegTypeMultiSz, "a\0b\0\0"s, "a<0>b"},
        {kRegTypeMultiSz, "a\0\0b\0\0"s, "a<0><0>b"},
        {kRegTypeMultiSz, "a\0"s, "a"},  // 2 bytes: read as text
        {kRegTypeMultiSz, ""s, ""},
        {kSz, "text\0junk"s, "text"},
        {kBinary, "no nul"s, "no nul"},
    };
    for (const auto& c : cases) EXPECT_EQ(RegDataText(c.type, c.data), c.text) << c.type << " " << c.data;
}

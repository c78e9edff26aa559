#include <gtest/gtest.h>

#include "sys/IniText.h"

TEST(IniText, ChangesOnlyTheNamedKey)
{
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } cases[] = {
        // the value part only; spacing, comments and other keys stay
        {"; product\r\n[OriginalSetup]\r\nVersionOriginal = 1\r\nStamp=5\r\n\r\n[MsgBox]\r\nFontName=Arial\r\n",
         "OriginalSetup", "VersionOriginal", "2",
         "; product\r\n[OriginalSetup]\r\nVersionOriginal = 2\r\nStamp=5\r\n\r\n[MsgBox]\r\nFontName=Arial\r\n"},
        // names without regard to case and blanks; the first key counts
        {"[originalsetup]\nstamp=1\nSTAMP=2\n", " OriginalSetup ", "Stamp", "9",
         "[originalsetup]\nstamp=9\nSTAMP=2\n"},
        // a missing key goes after the section's last line, before blank lines
        {"[OriginalSetup]\r\nStamp=1\r\n\r\n[Other]\r\nA=1\r\n", "OriginalSetup", "__ProbeSecondsLast",
         "05-DEC-2026 14:03:59",
         "[OriginalSetup]\r\nStamp=1\r\n__ProbeSecondsLast=05-DEC-2026 14:03:59\r\n\r\n[Other]\r\nA=1\r\n"},
        // the same key in another section is not it
        {"[Other]\r\nStamp=1\r\n", "OriginalSetup", "Stamp", "2",
         "[Other]\r\nStamp=1\r\n[OriginalSetup]\r\nStamp=2\r\n"},
        // a last line without its line break
        {"[OriginalSetup]\nStamp=1", "OriginalSetup", "Probe", "3", "[OriginalSetup]\nStamp=1\nProbe=3\n"},
        {"[OriginalSetup]", "OriginalSetup", "Probe", "3", "[OriginalSetup]\r\nProbe=3\r\n"},
        {"", "S", "K", "V", "[S]\r\nK=V\r\n"},
        // an empty value, and a key whose value holds "="
        {"[S]\r\nK=\r\nL=a=b\r\n", "S", "K", "1", "[S]\r\nK=1\r\nL=a=b\r\n"},
        {"[S]\r\nK=\r\nL=a=b\r\n", "S", "L", "c", "[S]\r\nK=\r\nL=c\r\n"},
    };
    for (const Case& c : cases) {
        std::string text = c.before;
        EXPECT_TRUE(IniSetValue(text, c.section, c.key, c.value)) << c.before;
        EXPECT_EQ(text, c.after) << c.before;
    }
}

TEST(IniText, RefusesLineBreaksThatWouldAddKeys)
{
    const std::string before = "[S]\r\nK=1\r\n";
    for (auto [section, key, value] : {std::tuple{"S", "K", "1\r\nVersionOriginal=99"}, std::tuple{"S", "K\n", "1"},
                                       std::tuple{"S]\r\n[T", "K", "1"}, std::tuple{"S", "K=J", "1"},
                                       std::tuple{"", "K", "1"}, std::tuple{"S", " ", "1"}}) {
        std::string text = before;
        EXPECT_FALSE(IniSetValue(text, section, key, value)) << key << value;
        EXPECT_EQ(text, before);
    }
}

TEST(IniText, ReadsAsTheProfileFunctionsDo)
{
    const std::string text =
        "; a comment\r\n[NewSetup]\r\n  VersionNew = 4  \r\nShutDownMethod=\"Using WM_CLOSE\"\r\nQuoted='x'\r\n"
        "Half=\"x\r\nEmpty=\r\nNoEquals\r\n;Commented=1\r\n[newsetup]\r\nLater=2\r\n[Other]\r\nVersionNew=9\n";
    struct Case {
        const char* section;
        const char* key;
        const char* want;
    } cases[] = {
        {"NewSetup", "VersionNew", "4"},
        {" newsetup ", "versionnew", "4"},
        {"NewSetup", "ShutDownMethod", "Using WM_CLOSE"},
        {"NewSetup", "Quoted", "x"},
        {"NewSetup", "Half", "\"x"},
        {"NewSetup", "Empty", "def"},
        {"NewSetup", "NoEquals", "def"},
        {"NewSetup", ";Commented", "def"},
        {"NewSetup", "Later", "2"},  // the section again, further down
        {"Other", "VersionNew", "9"},
        {"Missing", "VersionNew", "def"},
        {"", "VersionNew", "def"},
    };
    for (const Case& c : cases) EXPECT_EQ(IniGetValue(text, c.section, c.key, "def"), c.want) << c.key;

    // A UTF-8 mark before the first section.
    std::string marked = "\xEF\xBB\xBF[NewSetup]\r\nVersionNew=4\r\n";
    EXPECT_EQ(IniGetValue(marked, "NewSetup", "VersionNew", "def"), "4");
    ASSERT_TRUE(IniSetValue(marked, "NewSetup", "VersionNew", "5"));
    EXPECT_EQ(marked, "\xEF\xBB\xBF[NewSetup]\r\nVersionNew=5\r\n");

    // What one writes, the other reads back.
    std::string t = text;
    ASSERT_TRUE(IniSetValue(t, "NewSetup", "Empty", "7"));
    EXPECT_EQ(IniGetValue(t, "NewSetup", "Empty", "def"), "7");
    ASSERT_TRUE(IniSetValue(t, "Fresh", "Key", "v"));
    EXPECT_EQ(IniGetValue(t, "Fresh", "Key", "def"), "v");
}

TEST(IniText, UntrustedTextIsReadWithinBounds)
{
    std::string noise = "[S]\nK=";
    for (int i = 0; i < 70000; ++i) noise += static_cast<char>(1 + (i * 7919) % 255);
    const std::string v = IniGetValue(noise, "S", "K", "");
    EXPECT_LE(v.size(), kIniMaxValueLength);
    EXPECT_FALSE(v.empty());
    for (const std::string& t : {std::string("["), std::string("[S"), std::string("[]\n=\n"), std::string(1, '\0'),
                                 std::string(100000, '['), std::string(100000, '\n'), std::string("[S]\n=")})
        EXPECT_EQ(IniGetValue(t, "S", "K", "d"), "d");
}

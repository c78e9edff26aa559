// The language choice follows the thread's locale on Windows.
#include <gtest/gtest.h>

#include <windows.h>

#include "text/SLangId.h"

TEST(SLangIdWin, TheThreadsLocaleChoosesTheLanguage)
{
    const LCID saved = GetThreadLocale();
    const TLocaleSource oldSource = SetLocaleSource(nullptr);
    UseSystemLocale();
    ResetLanguageChoice();

    ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), SORT_DEFAULT)));
    EXPECT_EQ(SystemLocaleId() & 0x3FF, static_cast<uint32_t>(LANG_FRENCH));
    EXPECT_EQ(LanguageNameOfLocale(), "FRENCH");
    const std::string block = "\x02\x01" "English\x01s0=Setup\x01\x02\x01" "French\x01s0=Installation\x01\x02";
    EXPECT_EQ(LangText(block, "s0", "x"), "Installation");

    ResetLanguageChoice();
    ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT)));
    EXPECT_EQ(LanguageNameOfLocale(), "JAPANESE");
    EXPECT_EQ(LangText(block, "s0", "x"), "Setup");

    ResetLanguageChoice();
    SetThreadLocale(saved);
    SetLocaleSource(oldSource);
}

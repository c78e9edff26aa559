// Language table, language choice and language texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sys/LSUB.h"
#include "text/SLangId.h"

namespace {

// A language list: 0x01, name, 0x01, items..., 0x01.
std::string Language(const std::string& name, const std::vector<std::string>& items = {})
{
    std::string list = "\x01" + name + "\x01";
    for (const auto& item : items) list += item + "\x01";
    return list;
}

std::string Block(const std::vector<std::string>& languages)
{
    std::string block = "\x02";
    for (const auto& language : languages) block += language + "\x02";
    return block;
}

// Windows locale identifiers: primary language in the low 10 bits.
constexpr uint32_t kFrenchFrance = 0x040C;
constexpr uint32_t kJapanese = 0x0411;
constexpr uint32_t kCroatian = 0x041A;
constexpr uint32_t kGermanSwiss = 0x0807;

class LangTextTest : public testing::Test {
protected:
    void SetUp() override { ResetLanguageChoice(); }
    void TearDown() override { ResetLanguageChoice(); }
};

}  // namespace

TEST(LanguageTableTest, HoldsTheFiftyOneRowsInTheirStoredForm)
{
    const std::string& table = LanguageTable();
    EXPECT_EQ(SUB::Count(table), 51);
    EXPECT_EQ(table.rfind("|AFRIKAANS    = 54|ALBANIAN     = 28|ARABIC       = 01|", 0), 0u);
    EXPECT_EQ(SUB::Get(table, 42), "VIETNAMESE   = 42");
    EXPECT_EQ(SUB::Get(table, 43), "CHINESE(SIMPLIFIED)  = 2052");
    EXPECT_EQ(SUB::Get(table, -1), "SERBIAN(CYRILIC)     = 3098");
    // Every short row's "= " starts at column 13, every long row's at 21.
    for (int i = 0; i < 51; ++i) {
        const std::string row = SUB::Get(table, i);
        EXPECT_EQ(row.find("= "), i < 43 ? 13u : 21u) << row;
    }
}

TEST(LanguageTableTest, NamesThePrimaryLanguageOfALocale)
{
    struct Case {
        uint32_t locale;
        const char* name;
    };
    const Case cases[] = {
        {kFrenchFrance, "FRENCH"},
        {kJapanese, "JAPANESE"},
        {kGermanSwiss, "GERMAN"},       // sublanguage bits do not matter
        {kCroatian, "CROATIAN"},        // 26 is shared with SERBIAN: the first row wins
        {0x0401, "ARABIC"},             // one-digit identifiers get their leading zero
        {0x0409, "ENGLISH"},
        {0, "ENGLISH"},                 // no locale at all counts as English
        {0x0410 | (1u << 16), "ITALIAN"},  // sort bits above the language id are ignored
        // Languages the table does not list stay unnamed, even where their
        // digits occur inside a four-digit row (52 in 2052, 43 in 1043).
        {0x0434, ""},
        {0x042B, ""},
        {0x0452, ""},
        {0x0467, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(LanguageNameOfLocale(c.locale), c.name) << std::hex << c.locale;
}

TEST(FindLanguageTest, MatchesNamesAndFallsBackToASingleLanguage)
{
    const std::string english = Language("English", {"s0=Hello"});
    const std::string french = Language(" french ", {"s0=Bonjour"});
    const std::string two = Block({english, french});

    EXPECT_EQ(FindLanguage(two, "FRENCH"), french);      // case and blanks ignored
    EXPECT_EQ(FindLanguage(two, "english"), english);
    EXPECT_EQ(FindLanguage(two, "GERMAN"), "*");
    EXPECT_EQ(FindLanguage(two, ""), "*");
    EXPECT_EQ(FindLanguage(Block({english}), "JAPANESE"), english);  // the only one is used anyway
    EXPECT_EQ(FindLanguage(Block({english}), ""), english);
    EXPECT_EQ(FindLanguage("", "ENGLISH"), "*");
    // An unnamed language is not what an unknown locale ("") asks for.
    EXPECT_EQ(FindLanguage(Block({Language(""), english}), ""), "*");
}

TEST_F(LangTextTest, OneLanguageIsUsedOnEveryLocale)
{
    for (uint32_t locale : {kFrenchFrance, kJapanese, 0u}) {
        ResetLanguageChoice();
        const std::string block = Block({Language("Deutsch", {"s0=Installation"})});
        EXPECT_EQ(LangText(block, "s0", "default", locale), "Installation") << locale;
    }
}

TEST_F(LangTextTest, ChoosesTheLocalesLanguageElseEnglishElseDefaults)
{
    const std::string block =
        Block({Language("English", {"s0=Setup"}), Language("French", {"s0=Installation"})});
    EXPECT_EQ(ChooseLanguage(block, kFrenchFrance), Language("French", {"s0=Installation"}));
    EXPECT_EQ(ChooseLanguage(block, kJapanese), Language("English", {"s0=Setup"}));

    EXPECT_EQ(LangText(block, "s0", "x", kFrenchFrance), "Installation");
    ResetLanguageChoice();
    EXPECT_EQ(LangText(block, "s0", "x", kJapanese), "Setup");

    // French and German only, on a Japanese system: nothing fits, every text
    // is the built-in default.
    ResetLanguageChoice();
    const std::string noEnglish =
        Block({Language("French", {"s0=Installation"}), Language("German", {"s0=Einrichtung"})});
    EXPECT_EQ(LangText(noEnglish, "s0", "Lumidor Installation Suite", kJapanese), "Lumidor Installation Suite");
    EXPECT_EQ(ChosenLanguage(), "*");
    EXPECT_EQ(LangCharset(noEnglish), 0);
    EXPECT_EQ(LangFontSize(noEnglish), 8);
    EXPECT_EQ(LangFontName(noEnglish), "Tahoma");
}

TEST_F(LangTextTest, KeysIgnoreCaseAndBlanksBeforeTheEqualsSign)
{
    const std::string block = Block({Language("English", {"s1=", "S2 = Working", "s3=Extract<P>now", "s10=Ten"})});
    EXPECT_EQ(LangText(block, "s1", "Extracting Files...", kJapanese), "");  // present but empty
    EXPECT_EQ(LangText(block, "s2", "x"), " Working");                       // blank after "=" kept
    EXPECT_EQ(LangText(block, "S3", "x"), "Extract<P>now");
    EXPECT_EQ(LangText(block, "s10", "x"), "Ten");
    EXPECT_EQ(LangText(block, "s9", "nine"), "nine");                        // missing key
    EXPECT_EQ(LangText(block, "s", "none"), "none");                         // no prefix match
}

TEST_F(LangTextTest, TheFirstChoiceHoldsForEveryLaterBlock)
{
    const std::string first = Block({Language("English", {"s0=One"}), Language("French", {"s0=Un"})});
    const std::string second = Block({Language("English", {"s0=Two"}), Language("French", {"s0=Deux"})});
    EXPECT_EQ(LangText(first, "s0", "x", kFrenchFrance), "Un");
    // Another package later on, and another locale: still the list chosen first.
    EXPECT_EQ(LangText(second, "s0", "x", kJapanese), "Un");
    EXPECT_EQ(ChosenLanguage(), Language("French", {"s0=Un"}));
}

TEST_F(LangTextTest, FontSettingsAreNumbersWithFallBacks)
{
    struct Case {
        std::vector<std::string> items;
        int charset;
        int size;
        const char* face;
    };
    const Case cases[] = {
        {{"Charset=177", "FontSize=10", "FontName=Arial"}, 177, 10, "Arial"},
        {{"Charset=abc", "FontSize=big"}, 0, 8, "Tahoma"},
        {{"Charset=", "FontSize=", "FontName="}, 0, 8, ""},
        {{}, 0, 8, "Tahoma"},
        {{"Charset = 128 ", "FontSize= 9"}, 128, 9, "Tahoma"},
    };
    for (const auto& c : cases) {
        ResetLanguageChoice();
        const std::string block = Block({Language("English", c.items)});
        EXPECT_EQ(LangCharset(block), c.charset);
        EXPECT_EQ(LangFontSize(block), c.size);
        EXPECT_EQ(LangFontName(block), c.face);
    }
}

TEST_F(LangTextTest, TheInstalledLocaleSourceChoosesWhenNoLocaleIsGiven)
{
    const TLocaleSource old = SetLocaleSource([]() -> uint32_t { return 0x040C; });
    const std::string block = Block({Language("English", {"s0=Setup"}), Language("French", {"s0=Installation"})});
    EXPECT_EQ(LanguageNameOfLocale(), "FRENCH");
    EXPECT_EQ(LangText(block, "s0", "x"), "Installation");
    SetLocaleSource(old);
    EXPECT_EQ(CurrentLocaleId(), old());
}

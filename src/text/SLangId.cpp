// Language table and language texts (portable half of SLangId).
#include "text/SLangId.h"

#include "sys/LSUB.h"
#include "sys/Utils.h"

namespace {

// Names of the short rows are padded to 13 characters before "= ", those of
// the rows with full language identifiers to 21.
const char* const kLanguageTable =
    "|AFRIKAANS    = 54|ALBANIAN     = 28|ARABIC       = 01|BASQUE       = 45|BELARUSIAN   = 35"
    "|BULGARIAN    = 02|CATALAN      = 03|CHINESE      = 04|CROATIAN     = 26|CZECH        = 05"
    "|DANISH       = 06|DUTCH        = 19|ENGLISH      = 09|ESTONIAN     = 37|FAEROESE     = 56"
    "|FARSI        = 41|FINNISH      = 11|FRENCH       = 12|GERMAN       = 07|GREEK        = 08"
    "|HEBREW       = 13|HUNGARIAN    = 14|ICELANDIC    = 15|INDONESIAN   = 33|ITALIAN      = 16"
    "|JAPANESE     = 17|KOREAN       = 18|LATVIAN      = 38|LITHUANIAN   = 39|NORWEGIAN    = 20"
    "|POLISH       = 21|PORTUGUESE   = 22|ROMANIAN     = 24|RUSSIAN      = 25|SERBIAN      = 26"
    "|SLOVAK       = 27|SLOVENIAN    = 36|SPANISH      = 10|SWEDISH      = 29|THAI         = 30"
    "|TURKISH      = 31|UKRAINIAN    = 34|VIETNAMESE   = 42"
    "|CHINESE(SIMPLIFIED)  = 2052|CHINESE(TRADITIONAL) = 1028|DUTCH(FLEMISH)       = 2067"
    "|DUTCH(STANDARD)      = 1043|PORTUGUESE(PORTUGAL) = 2070|PORTUGUESE(BRAZIL)   = 1046"
    "|SERBIAN(LATIN)       = 2074|SERBIAN(CYRILIC)     = 3098|";

constexpr char kLanguageSeparator = '\x02';
constexpr uint32_t kEnglishPrimary = 9;

uint32_t NoLocale() { return 0; }

TLocaleSource gLocaleSource = NoLocale;

// The chosen language list; valid once gChosen is set, and may be "*".
bool gChosen = false;
std::string gChosenList;

}  // namespace

const std::string& LanguageTable()
{
    static const std::string table = kLanguageTable;
    return table;
}

std::string LanguageNameOfLocale(uint32_t localeId)
{
    uint32_t primary = localeId & 0x3FF;
    if (localeId == 0) primary = kEnglishPrimary;
    const std::string digits = PadLeft(static_cast<int64_t>(primary), 2);
    // The identifier after "=" must equal the digits as a whole: a search for
    // the digits anywhere in a row would let an unlisted language (43, 52,
    // 67, ...) land on one of the four-digit rows.
    const std::string& table = LanguageTable();
    const int count = SUB::Count(table);
    for (int i = 0; i < count; ++i) {
        const std::string row = SUB::Get(table, i);
        const size_t eq = row.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        if (Trim(row.substr(eq + 1)) == digits) return Trim(row.substr(0, eq));
    }
    return "";
}

std::string LanguageNameOfLocale() { return LanguageNameOfLocale(CurrentLocaleId()); }

std::string FindLanguage(const std::string& languageBlock, const std::string& name)
{
    const int count = SUB::Count(languageBlock);
    // An unknown locale has no name; it must not pick a language whose name
    // is blank.
    if (!Trim(name).empty()) {
        for (int i = 0; i < count; ++i) {
            const std::string language = SUB::Get(languageBlock, i);
            if (!language.empty() && SameText(SUB::Get(language, 0), name)) return language;
        }
    }
    if (count == 1) {
        const std::string only = SUB::Get(languageBlock, 0);
        if (!only.empty()) return only;
    }
    return "*";
}

std::string ChooseLanguage(const std::string& languageBlock, uint32_t localeId)
{
    std::string chosen = FindLanguage(languageBlock, LanguageNameOfLocale(localeId));
    if (chosen == "*") chosen = FindLanguage(languageBlock, "English");
    return chosen;
}

std::string LangText(const std::string& languageBlock, const std::string& key, const std::string& def,
                     uint32_t localeId)
{
    if (!gChosen) {
        gChosenList = ChooseLanguage(languageBlock, localeId);
        gChosen = true;
    }
    if (gChosenList.size() <= 1) return def;
    return SUB::GetValue(gChosenList, key, def, "", true, true);
}

std::string LangText(const std::string& languageBlock, const std::string& key, const std::string& def)
{
    // The locale is only asked for while nothing is chosen yet.
    return LangText(languageBlock, key, def, gChosen ? 0 : CurrentLocaleId());
}

int LangCharset(const std::string& languageBlock)
{
    return static_cast<int>(TextToInt64(LangText(languageBlock, "Charset", "0"), 0));
}

int LangFontSize(const std::string& languageBlock)
{
    return static_cast<int>(TextToInt64(LangText(languageBlock, "FontSize", "8"), 8));
}

std::string LangFontName(const std::string& languageBlock) { return LangText(languageBlock, "FontName", "Tahoma"); }

std::string ChosenLanguage() { return gChosen ? gChosenList : std::string(); }

void ResetLanguageChoice()
{
    gChosen = false;
    gChosenList.clear();
}

TLocaleSource SetLocaleSource(TLocaleSource source)
{
    TLocaleSource old = gLocaleSource;
    gLocaleSource = source ? source : NoLocale;
    return old;
}

uint32_t CurrentLocaleId() { return gLocaleSource(); }

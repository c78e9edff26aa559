// Language texts: the table of language names, the choice of the language
// from the user's locale, and the lookup of texts in a package's language
// block (a 0x02 list of languages, each a 0x01 list: name, then Key=Value).
//
// Everything here is portable. The locale is passed in as a Windows locale
// identifier; the overloads without one ask the installed locale source,
// which the Windows side sets to the thread's locale (SLangIdWin). Without a
// source the locale counts as "none", which means English.
#pragma once

#include <cstdint>
#include <string>

// The language names with their Windows language identifiers, as the
// self-delimited list "|AFRIKAANS    = 54|ALBANIAN     = 28|...|".
const std::string& LanguageTable();

// The table name (trimmed, in capitals) for the primary language of the
// locale (its low 10 bits; locale 0 counts as English), or "" when the table
// has no row with exactly that identifier.
std::string LanguageNameOfLocale(uint32_t localeId);
std::string LanguageNameOfLocale();  // the installed locale source's locale

// The language list of the block whose name equals `name` (case and outer
// blanks ignored). When none matches and the block holds exactly one
// language, that one; otherwise "*".
std::string FindLanguage(const std::string& languageBlock, const std::string& name);

// FindLanguage of the locale's language, falling back to "English".
std::string ChooseLanguage(const std::string& languageBlock, uint32_t localeId);

// The value of `key` in the process-wide chosen language, or `def`. The first
// call chooses the language from its block and locale; every later call, on
// any block, reads the language chosen then. A key present with an empty
// value gives "". Keys ignore case and blanks before "=".
std::string LangText(const std::string& languageBlock, const std::string& key, const std::string& def,
                     uint32_t localeId);
std::string LangText(const std::string& languageBlock, const std::string& key, const std::string& def);

// The font settings of the chosen language: "Charset" (0 when missing or not
// a number), "FontSize" (8 likewise) and "FontName" ("Tahoma").
int LangCharset(const std::string& languageBlock);
int LangFontSize(const std::string& languageBlock);
std::string LangFontName(const std::string& languageBlock);

// The process-wide choice as it stands ("" before the first LangText).
std::string ChosenLanguage();
// Forgets the choice, so that the next LangText chooses again (tests only).
void ResetLanguageChoice();

// Where the locale comes from when none is passed in.
using TLocaleSource = uint32_t (*)();
TLocaleSource SetLocaleSource(TLocaleSource source);
uint32_t CurrentLocaleId();

// Windows only (SLangIdWin): the thread's locale, else the user's default
// one, else 0; and installing it as the locale source.
uint32_t SystemLocaleId();
void UseSystemLocale();

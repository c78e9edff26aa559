#include "stub/StubTexts.h"

#include "package/PackX.h"
#include "text/SLangId.h"

std::string StubText(const TGFileInfo& package, const TStubText& text)
{
    return LangText(package.LanguageBlock, text.Key, text.Default);
}
int StubCharset(const TGFileInfo& package) { return LangCharset(package.LanguageBlock); }
int StubFontSize(const TGFileInfo& package) { return LangFontSize(package.LanguageBlock); }
std::string StubFontName(const TGFileInfo& package) { return LangFontName(package.LanguageBlock); }

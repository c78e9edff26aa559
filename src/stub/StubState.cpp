#include "stub/StubState.h"
#include "stub/StubTexts.h"

#include "package/PackX.h"
#include "text/SLangId.h"

namespace {
TGFileInfo* gPackage = nullptr;
TGFileInfo gNoPackage;
bool gIsAgent = false;
int gExitCode = 0;
}  // namespace

void SetOwnPackage(TGFileInfo* info) { gPackage = info; }
TGFileInfo& OwnPackage() { return gPackage ? *gPackage : gNoPackage; }

bool ThisIs_AutoUpdateProg() { return gIsAgent; }
void SetThisIs_AutoUpdateProg(bool value) { gIsAgent = value; }

void SetStubExitCode(int code) { gExitCode = code; }
int StubExitCode() { return gExitCode; }

std::string StubLangText(const std::string& key, const std::string& def)
{
    return LangText(OwnPackage().LanguageBlock, key, def);
}
std::string StubText(const TStubText& text) { return StubLangText(text.Key, text.Default); }
std::string StubButtonTexts() { return StubText(kTextButtons); }
int StubCharset() { return LangCharset(OwnPackage().LanguageBlock); }
int StubFontSize() { return LangFontSize(OwnPackage().LanguageBlock); }
std::string StubFontName() { return LangFontName(OwnPackage().LanguageBlock); }

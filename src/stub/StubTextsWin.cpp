#include "stub/StubTextsWin.h"

#include "package/PackX.h"
#include "stub/StubTexts.h"
#include "ui/LMsgBox.h"

namespace {
constexpr int kNoTimeout = 0;
}  // namespace

void ShowStubError(const TGFileInfo& package, const std::string& text)
{
    MsgBoxError(kOwnerWithHeader, text, StubText(package, kTextError), StubText(package, kTextButtons),
                StubCharset(package));
}

bool AskStubConfirm(const TGFileInfo& package, const std::string& text)
{
    return MsgBoxConfirm(kOwnerWithHeader, text, StubText(package, kTextConfirm), StubText(package, kTextButtons),
                         StubCharset(package), kNoTimeout);
}

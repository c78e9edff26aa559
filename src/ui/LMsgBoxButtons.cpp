// Style word, button sets and keys of the message box.
#include "ui/LMsgBoxButtons.h"

#include "sys/LSUB.h"

namespace {

// Caption items of the captions list.
enum { kCapOk = 0, kCapCancel = 1, kCapYes = 2, kCapNo = 3, kCapAbort = 4, kCapRetry = 5, kCapIgnore = 6 };

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

uint32_t EffectiveStyle(uint32_t style, int charset, intptr_t ownerMode)
{
    style |= kStyleAlways;
    if (charset == kCharsetHebrew || charset == kCharsetArabic) style |= kStyleRightAligned | kStyleRtlReading;
    if (ownerMode == kOwnerNoClose) style |= kStyleNoClose;
    return style;
}

TMsgIcon IconOfStyle(uint32_t style)
{
    switch (style & kStyleIconMask) {
        case kStyleIconStop: return kIconStop;
        case kStyleIconQuestion: return kIconQuestion;
        case kStyleIconExclamation: return kIconExclamation;
        case kStyleIconInformation: return kIconInformation;
        default: return kIconProgram;
    }
}

std::vector<TButtonDef> ButtonSetOf(uint32_t style)
{
    switch (style & kStyleButtonMask) {
        case kStyleOkCancel: return {{kCapOk, kResultOk}, {kCapCancel, kResultCancel}};
        case kStyleAbortRetryIgnore:
            return {{kCapAbort, kResultAbort}, {kCapRetry, kResultRetry}, {kCapIgnore, kResultIgnore}};
        case kStyleYesNoCancel: return {{kCapYes, kResultYes}, {kCapNo, kResultNo}, {kCapCancel, kResultCancel}};
        case kStyleYesNo: return {{kCapYes, kResultYes}, {kCapNo, kResultNo}};
        case kStyleRetryCancel: return {{kCapRetry, kResultRetry}, {kCapCancel, kResultCancel}};
        default: return {{kCapOk, kResultOk}};
    }
}

std::vector<std::string> ButtonCaptions(const std::vector<TButtonDef>& buttons, const std::string& captionsList)
{
    std::vector<std::string> captions;
    for (const auto& b : buttons) captions.push_back(SUB::Get(captionsList, b.CaptionItem));
    return captions;
}

int DefaultButtonIndex(uint32_t style, int buttonCount)
{
    if (buttonCount <= 0) return 0;
    return static_cast<int>((style & kStyleDefaultMask) >> 8) % buttonCount;
}

char ButtonHotkey(const std::string& caption)
{
    const size_t amp = caption.find('&');
    if (amp == std::string::npos) return caption.empty() ? 0 : UpperAscii(caption[0]);
    return amp + 1 < caption.size() ? UpperAscii(caption[amp + 1]) : 0;
}

int ButtonForKey(const std::vector<std::string>& captions, char typed)
{
    const char key = UpperAscii(typed);
    if (key == 0) return -1;
    for (size_t i = 0; i < captions.size(); ++i)
        if (ButtonHotkey(captions[i]) == key) return static_cast<int>(i);
    return -1;
}

int NextButton(int current, int count)
{
    if (count <= 0) return -1;
    if (current < 0 || current >= count) return 0;
    return (current + 1) % count;
}

int PreviousButton(int current, int count)
{
    if (count <= 0) return -1;
    if (current < 0 || current >= count) return count - 1;
    return (current + count - 1) % count;
}

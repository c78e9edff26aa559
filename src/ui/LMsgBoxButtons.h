// The message box's style word, button sets, result codes and keys
// (portable half of LMsgBox). The style word uses the values of the Windows
// message box constants of the same meaning, plus the no-close bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Result codes, as the Windows message box returns them; 0: closed without
// a button.
enum TMsgResult {
    kResultNone = 0,
    kResultOk = 1,
    kResultCancel = 2,
    kResultAbort = 3,
    kResultRetry = 4,
    kResultIgnore = 5,
    kResultYes = 6,
    kResultNo = 7,
};

// Button sets (low 4 bits).
constexpr uint32_t kStyleOk = 0x0;
constexpr uint32_t kStyleOkCancel = 0x1;
constexpr uint32_t kStyleAbortRetryIgnore = 0x2;
constexpr uint32_t kStyleYesNoCancel = 0x3;
constexpr uint32_t kStyleYesNo = 0x4;
constexpr uint32_t kStyleRetryCancel = 0x5;
constexpr uint32_t kStyleButtonMask = 0xF;
// Icons (mask 0xF0).
constexpr uint32_t kStyleIconStop = 0x10;
constexpr uint32_t kStyleIconQuestion = 0x20;
constexpr uint32_t kStyleIconExclamation = 0x30;
constexpr uint32_t kStyleIconInformation = 0x40;
constexpr uint32_t kStyleIconMask = 0xF0;
// 0-based index of the default button (mask 0xF00, shifted right by 8).
constexpr uint32_t kStyleDefaultMask = 0xF00;
constexpr uint32_t kStyleRightAligned = 0x80000;   // MB_RIGHT
constexpr uint32_t kStyleRtlReading = 0x100000;    // MB_RTLREADING
constexpr uint32_t kStyleNoClose = 0x10000000;     // the window menu's Close is greyed
// MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST: always set, not evaluated.
constexpr uint32_t kStyleAlways = 0x52000;

// Character sets that read right to left (Hebrew, Arabic).
constexpr int kCharsetHebrew = 177;
constexpr int kCharsetArabic = 178;

// The style word a box is shown with: `style`, plus the fixed bits, the
// right-to-left bits for a Hebrew or Arabic charset and the no-close bit for
// kOwnerNoClose.
uint32_t EffectiveStyle(uint32_t style, int charset, intptr_t ownerMode);

// What a box takes as its owner: one of these modes (the box is owned by
// the window remembered for boxes), or else an owner window. Only the
// first puts the bold header (the caption) above the text; the last greys
// the window menu's Close.
enum TBoxOwnerMode : intptr_t { kOwnerWithHeader = 0, kOwnerPlain = 1, kOwnerNoClose = 2 };
// Owner modes below this value are modes; larger values are owner windows.
constexpr intptr_t kOwnerModeCount = 3;
inline bool OwnerModeHasHeader(intptr_t ownerMode) { return ownerMode == kOwnerWithHeader; }

enum TMsgIcon { kIconProgram, kIconStop, kIconQuestion, kIconExclamation, kIconInformation };
TMsgIcon IconOfStyle(uint32_t style);

// One button: its caption's item in the captions list and its result code.
struct TButtonDef {
    int CaptionItem;
    int Result;
    bool operator==(const TButtonDef&) const = default;
};

// The buttons of the style's set, left to right. A set this box does not
// know shows OK alone.
std::vector<TButtonDef> ButtonSetOf(uint32_t style);

// The captions of those buttons, from the captions list.
std::vector<std::string> ButtonCaptions(const std::vector<TButtonDef>& buttons, const std::string& captionsList);

// The default button's index, taken modulo the number of buttons.
int DefaultButtonIndex(uint32_t style, int buttonCount);

// The key of a caption, upper-cased: the character after its "&", or its
// first character when it has no "&"; 0 for none.
char ButtonHotkey(const std::string& caption);

// The button chosen by a typed character (ASCII letters in either case), or
// -1. The key-down path passes the upper-case letter of the virtual key.
int ButtonForKey(const std::vector<std::string>& captions, char typed);

// Focus movement over `count` buttons with wrap-around; `current` -1 means
// no button has the focus (next then gives the first, previous the last).
int NextButton(int current, int count);
int PreviousButton(int current, int count);

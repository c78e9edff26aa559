// The message box's mark-up: "<P>" (and the stored "\\n") for a line break,
// "<T>" (and "\\t") for a tab, "<B>" ... "</B>" for a bold passage. The box
// shows the plain text and sets the bold ranges in its rich edit.
#pragma once

#include <string>
#include <vector>

// Button captions in the fixed order OK, Cancel, Yes, No, Abort, Retry,
// Ignore (items 0 to 6); "&" marks the letter that chooses the button.
inline constexpr const char* kDefaultButtonCaptions = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";
// Captions of the three kinds of box (items 0 to 2), used when a caller
// passes none and as the words that the owner-mode-0 header spells in capitals.
inline constexpr const char* kKindCaptions = "|Error|Attention|Confirm|";
enum TMsgKind { kKindError = 0, kKindAttention = 1, kKindConfirm = 2 };

// A bold passage: 0-based character offsets into the plain text, the end
// exclusive.
struct TBoldRange {
    int Start = 0;
    int End = 0;
    bool operator==(const TBoldRange&) const = default;
};

struct TMarkedText {
    std::string Text;
    std::vector<TBoldRange> Bold;
};

// Converts the mark-up to plain text (CR LF line ends, tabs) and bold ranges.
// Tags other than the ones above are left as they are.
TMarkedText ConvertMarkup(const std::string& text);

// The text with the bold header of owner mode 0: the caption (in capitals
// when it is one of the kind captions, as written) and an empty line above
// the text, and a line end after it.
std::string WithHeader(const std::string& caption, const std::string& text);

// The caption to show: `caption`, or the kind's default when it is empty.
std::string CaptionOrKind(const std::string& caption, TMsgKind kind);
// The button captions list to use: `captions`, or the default list when empty.
std::string CaptionsOrDefault(const std::string& captions);

// Mark-up of the message box text (portable half of LMsgBox).
#include "ui/LMsgBoxMarkup.h"

#include "sys/LSUB.h"
#include "sys/Utils.h"

namespace {

// Removes `count` characters at `pos` from the text and its upper-cased
// twin, and keeps the ranges found so far on their characters.
void RemoveAt(TMarkedText& marked, std::string& upper, size_t pos, size_t count)
{
    marked.Text.erase(pos, count);
    upper.erase(pos, count);
    const int at = static_cast<int>(pos);
    const int n = static_cast<int>(count);
    auto shift = [at, n](int& offset) {
        if (offset >= at + n)
            offset -= n;
        else if (offset > at)
            offset = at;
    };
    for (auto& range : marked.Bold) {
        shift(range.Start);
        shift(range.End);
    }
}

}  // namespace

TMarkedText ConvertMarkup(const std::string& text)
{
    TMarkedText marked;
    std::string t = text;
    // The stored escapes first (backslash, backslash, letter), case-sensitive.
    t = ReplaceText(t, "\\\\n", "\r\n");
    t = ReplaceText(t, "\\\\t", "\t");
    t = ReplaceText(t, "<P>", "\r\n", 0, 0, true);
    t = ReplaceText(t, "<T>", "\t", 0, 0, true);
    // The header is written "<<b>CAPTION</b>": its extra "<" goes.
    if (t.rfind("<<b>", 0) == 0) t.erase(0, 1);
    marked.Text = t;

    std::string upper = UpperCase(t);
    for (;;) {
        const size_t open = upper.find("<B>");
        if (open == std::string::npos) break;
        RemoveAt(marked, upper, open, 3);
        // The first closing tag anywhere: one that lies in front of this
        // opening tag leaves the passage in normal weight.
        const size_t close = upper.find("</B>");
        if (close == std::string::npos || close < open) continue;
        RemoveAt(marked, upper, close, 4);
        marked.Bold.push_back({static_cast<int>(open), static_cast<int>(close)});
    }
    for (size_t stray; (stray = upper.find("</B>")) != std::string::npos;) RemoveAt(marked, upper, stray, 4);
    return marked;
}

std::string WithHeader(const std::string& caption, const std::string& text)
{
    const std::string title = SUB::Contains(kKindCaptions, caption, false, false) ? UpperCase(caption) : caption;
    return Cat({"<<b>", title, "</b><P><P>", text, "<P>"});
}

std::string CaptionOrKind(const std::string& caption, TMsgKind kind)
{
    return caption.empty() ? SUB::Get(kKindCaptions, kind) : caption;
}

std::string CaptionsOrDefault(const std::string& captions)
{
    return captions.empty() ? std::string(kDefaultButtonCaptions) : captions;
}

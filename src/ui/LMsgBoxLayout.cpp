// Layout arithmetic of the message box.
#include "ui/LMsgBoxLayout.h"

#include <algorithm>

#include "sys/Utils.h"

int LineHeight(int tmHeight, int tmExternalLeading, const std::string& fontFace)
{
    return tmHeight + tmExternalLeading + (SameText(fontFace, "MS PGothic") ? 1 : 0);
}

TBoxSize MeasureText(const std::string& text, int lineHeight, const TLineExtent& extent)
{
    const std::string t = text.empty() ? std::string(" ") : text;
    TBoxSize size;
    size_t from = 0;
    for (;;) {
        const size_t end = t.find("\r\n", from);
        const bool last = end == std::string::npos;
        const std::string line = t.substr(from, last ? std::string::npos : end - from);
        if (!line.empty() || !last) {
            const int cx = std::max(0, extent(line));
            size.Width = std::max(size.Width, cx + 10);
            size.Height += (cx / kMaxTextWidth + 1) * lineHeight;
        }
        if (last) break;
        from = end + 2;
    }
    size.Width = std::min(size.Width, kMaxTextWidth);
    return size;
}

int FitBoldWidth(const TBoxSize& measured, const TTryWidth& tryWidth)
{
    int candidate = measured.Width;
    for (int i = 0; i <= 20; ++i) {
        const int width = measured.Width + 10 * i;
        const TBoxSize requested = tryWidth(width);
        if (requested.Height <= measured.Height) return width;
        candidate = std::max(candidate, requested.Width);
    }
    return candidate + 10;
}

TBoxSize BoxSize(const TBoxSize& edit, const TFrameMetrics& m)
{
    const int margin = edit.Width < 200 ? 64 : 32;
    TBoxSize box;
    box.Width = std::max(360, edit.Width + 2 * m.CxFrame + 2 * margin + kBandWidth);
    box.Height = 2 * m.CyFrame + edit.Height + (edit.Height < 39 ? 90 : 64) + m.CyCaption + 36;
    return box;
}

TBoxRect BoxPlacement(const TBoxRect& workArea, const TBoxSize& box, bool devShift)
{
    TBoxRect r;
    r.X = workArea.X + (workArea.Width - box.Width) / 2;
    r.Y = workArea.Y + (workArea.Height - box.Height) / 2;
    if (devShift) {
        r.X += 150;
        r.Y += 150;
    }
    r.Width = box.Width;
    r.Height = box.Height;
    return r;
}

TBoxRect RichEditPlacement(const TBoxSize& client, const TBoxSize& edit)
{
    TBoxRect r;
    r.X = (client.Width - edit.Width - kBandWidth) / 2 + kBandWidth;
    r.Y = (client.Height - edit.Height - 36) / 2;
    r.Width = edit.Width;
    r.Height = client.Height - r.Y - 39;
    return r;
}

TBoxRect ButtonPlacement(const TBoxSize& client, int index, int count)
{
    TBoxRect r;
    r.X = client.Width - 80 - (count - 1 - index) * kButtonWidth;
    r.Y = client.Height - 29;
    r.Width = kButtonWidth;
    r.Height = kButtonHeight;
    return r;
}

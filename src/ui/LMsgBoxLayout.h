// Layout arithmetic of the message box (portable half of LMsgBox). All sizes
// are pixels. The Windows side measures with the box font and asks the rich
// edit; the rules that turn those figures into sizes and places live here.
#pragma once

#include <functional>
#include <string>

struct TBoxSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TBoxSize&) const = default;
};

struct TBoxRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TBoxRect&) const = default;
};

// Lines longer than this wrap; the text is never measured wider.
constexpr int kMaxTextWidth = 600;
// The coloured band on the left, and the button strip at the bottom.
constexpr int kBandWidth = 54;
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 23;

// tmHeight + tmExternalLeading, one more for "MS PGothic", whose lines
// otherwise come out a pixel short.
int LineHeight(int tmHeight, int tmExternalLeading, const std::string& fontFace);

// Size the text needs: each line (cut at CR LF; an empty last piece does not
// count) is its extent + 10 wide and one line high per started 600 pixels;
// the width is capped at 600. An empty text is measured as one blank.
using TLineExtent = std::function<int(const std::string& line)>;
TBoxSize MeasureText(const std::string& text, int lineHeight, const TLineExtent& extent);

// Widening the rich edit until bold passages fit: `tryWidth` resizes the
// control to the given width (and the measured height) and returns the size
// the control last asked for. Widths measured.Width + 10 * i (i = 0..20) are
// tried; the first whose requested height is not above the measured height is
// kept. When none fits, the widest requested width + 10 is returned.
using TTryWidth = std::function<TBoxSize(int width)>;
int FitBoldWidth(const TBoxSize& measured, const TTryWidth& tryWidth);

// The frame metrics of the system the box is sized for.
struct TFrameMetrics {
    int CxFrame = 0;
    int CyFrame = 0;
    int CyCaption = 0;
};

// Outer size of the box for a rich edit of outer size `edit`.
TBoxSize BoxSize(const TBoxSize& edit, const TFrameMetrics& metrics);

// Left and top of the box in a work area (left, top, width, height), moved
// 150 right and down when `devShift` is set.
TBoxRect BoxPlacement(const TBoxRect& workArea, const TBoxSize& box, bool devShift);

// Place of the rich edit of outer size `edit` in a client area of `client`:
// centred beside the band and above the button strip, as tall as the room
// down to the strip.
TBoxRect RichEditPlacement(const TBoxSize& client, const TBoxSize& edit);

// Place of button `index` (0 = leftmost) of `count` in the client area: a row
// from the right edge, without gaps.
TBoxRect ButtonPlacement(const TBoxSize& client, int index, int count);

// The text that makes the developers' test box move aside.
inline constexpr const char* kDevShiftText = "Do you want to store the new Entry in";

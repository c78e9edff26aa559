// The notice window of inform mode, a resizable window with
// the notice's rich text and, when the notice names a web address, a button
// that opens it. The layout is portable; the window is AgentNoticeWin.
#pragma once

#include <string>

struct TInformRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct TInformLayout {
    TInformRect text;    // the rich-edit control
    TInformRect button;  // only with a web address
    int separatorY = -1; // the line above the button band; -1 without one
    int bandTop = -1;    // first row of the button band
};

// The children's places in a client area of cw x ch. The text leaves three
// pixels on the left and, with a button, the 43-pixel band at the bottom;
// the 160 x 25 button is centred 33 pixels above the bottom edge.
TInformLayout InformLayout(int clientWidth, int clientHeight, bool hasButton);

// The window's size when the INFO file gives none or a size of no use, and
// its place: centred on the screen.
constexpr int kInformDefaultSize = 360;
int InformSize(long long configured);
int InformCentred(int screen, int size);

// The face of the notice text: "Verdana" unless the agent's message font is
// set to something other than "Tahoma" (compared exactly).
std::string InformTextFace(const std::string& fontFace);

// The notice's address as ShowInform uses it: trimmed, and only a web
// address (http or https). Anything else from the INFO file, a program or a
// document path, is never handed to the shell: no address, no button.
std::string InformAddress(const std::string& address);

// What ShowInform does with the body and the web address (trimmed): opens
// the address directly (no body), shows the window (a body), or nothing.
enum class TInformAction { None, OpenAddress, ShowWindow };
// `address` as InformAddress gives it.
TInformAction InformActionOf(const std::string& body, const std::string& address);

// The window class of the notice.
inline constexpr const char* kInformClass = "LRichEditBox";

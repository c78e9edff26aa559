// Measurements of the start-up window and its children (pixels; children
// relative to the client area). Right-to-left for the Hebrew and Arabic
// character sets.
#pragma once

struct TChildRect {
    int x, y, width, height;
};

struct TStartupLayout {
    int width = 492;
    int height = 110;
    TChildRect label;
    TChildRect mainBar;
    TChildRect activityBar;
};

// The character sets written right to left.
constexpr int kHebrewCharset = 177;
constexpr int kArabicCharset = 178;
bool IsRightToLeftCharset(int charset);
TStartupLayout StartupLayout(bool rightToLeft);

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

bool IsRightToLeftCharset(int charset);
TStartupLayout StartupLayout(bool rightToLeft);

// Left/top that centre a width x height rectangle in a work area
// (halves rounded toward zero).
int CenteredOrigin(int areaStart, int areaSize, int size);

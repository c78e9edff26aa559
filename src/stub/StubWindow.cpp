#include "stub/StubWindow.h"

bool IsRightToLeftCharset(int charset) { return charset == kHebrewCharset || charset == kArabicCharset; }

TStartupLayout StartupLayout(bool rightToLeft)
{
    TStartupLayout l;
    l.label = {rightToLeft ? 122 : 70, 20, 340, 18};
    l.mainBar = {70, 38, 392, 13};
    l.activityBar = {rightToLeft ? 70 : 416, 20, 46, 13};
    return l;
}

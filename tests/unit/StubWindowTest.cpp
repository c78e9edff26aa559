#include <gtest/gtest.h>

#include "stub/StubWindow.h"

TEST(StartupWindow, LayoutLeftToRightAndRightToLeft)
{
    EXPECT_TRUE(IsRightToLeftCharset(177));
    EXPECT_TRUE(IsRightToLeftCharset(178));
    EXPECT_FALSE(IsRightToLeftCharset(0));
    TStartupLayout ltr = StartupLayout(false), rtl = StartupLayout(true);
    EXPECT_EQ(ltr.label.x, 70);
    EXPECT_EQ(ltr.activityBar.x, 416);
    EXPECT_EQ(rtl.label.x, 122);
    EXPECT_EQ(rtl.activityBar.x, 70);
    EXPECT_EQ(rtl.mainBar.x, 70);
}

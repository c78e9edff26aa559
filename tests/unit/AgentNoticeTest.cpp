#include "agent/AgentNotice.h"

#include <gtest/gtest.h>

namespace {

TEST(AgentNotice, LayoutFollowsTheClientArea)
{
    const TInformLayout with = InformLayout(352, 326, true);
    EXPECT_EQ(with.text.x, 3);
    EXPECT_EQ(with.text.y, 0);
    EXPECT_EQ(with.text.width, 349);
    EXPECT_EQ(with.text.height, 283);
    EXPECT_EQ(with.button.x, 96);
    EXPECT_EQ(with.button.y, 293);
    EXPECT_EQ(with.button.width, 160);
    EXPECT_EQ(with.button.height, 25);
    EXPECT_EQ(with.separatorY, 283);
    EXPECT_EQ(with.bandTop, 284);

    const TInformLayout resized = InformLayout(601, 400, true);
    EXPECT_EQ(resized.button.x, 220) << "centred, rounded down";
    EXPECT_EQ(resized.button.y, 367);
    EXPECT_EQ(resized.separatorY, 357);

    const TInformLayout without = InformLayout(352, 326, false);
    EXPECT_EQ(without.text.height, 326) << "no button: the text fills the window";
    EXPECT_EQ(without.separatorY, -1);
}

TEST(AgentNotice, SizeFaceAndAction)
{
    EXPECT_EQ(InformSize(0), 360);
    EXPECT_EQ(InformSize(-20), 360);
    EXPECT_EQ(InformSize(500), 500);
    EXPECT_EQ(InformSize(1LL << 40), 32767);
    EXPECT_EQ(InformCentred(1024, 360), 332);
    EXPECT_EQ(InformCentred(1023, 360), 331);
    EXPECT_EQ(InformTextFace("Tahoma"), "Verdana");
    EXPECT_EQ(InformTextFace(""), "Verdana");
    EXPECT_EQ(InformTextFace("tahoma"), "tahoma");
    EXPECT_EQ(InformTextFace("Arial"), "Arial");
    EXPECT_EQ(InformActionOf("text", ""), TInformAction::ShowWindow);
    EXPECT_EQ(InformActionOf("text", "http://x"), TInformAction::ShowWindow);
    EXPECT_EQ(InformActionOf("", "http://x"), TInformAction::OpenAddress);
    EXPECT_EQ(InformActionOf("", ""), TInformAction::None);
    EXPECT_EQ(InformAddress("  http://example.test/new "), "http://example.test/new");
    EXPECT_EQ(InformAddress("HTTPS://example.test"), "HTTPS://example.test");
    EXPECT_EQ(InformAddress("C:\\Windows\\system32\\calc.exe"), "") << "never a program";
    EXPECT_EQ(InformAddress("file:///C:/x.exe"), "");
    EXPECT_EQ(InformAddress("   "), "");
}

}  // namespace

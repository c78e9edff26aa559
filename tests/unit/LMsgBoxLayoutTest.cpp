// Message box button sets, keys and layout arithmetic.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/LMsgBoxButtons.h"
#include "ui/LMsgBoxLayout.h"
#include "ui/LMsgBoxMarkup.h"

TEST(MsgBoxButtonsTest, EachSetHasItsCaptionsAndResultsLeftToRight)
{
    struct Case {
        uint32_t style;
        std::vector<std::string> captions;
        std::vector<int> results;
    };
    const Case cases[] = {
        {0x0, {"&OK"}, {1}},
        {0x1, {"&OK", "&Cancel"}, {1, 2}},
        {0x2, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}},
        {0x3, {"&Yes", "&No", "&Cancel"}, {6, 7, 2}},
        {0x4, {"&Yes", "&No"}, {6, 7}},
        {0x5, {"&Retry", "&Cancel"}, {4, 2}},
        {0x6, {"&OK"}, {1}},          // unknown sets show OK alone
        {0x24 | 0x100, {"&Yes", "&No"}, {6, 7}},  // icon and default bits do not matter
    };
    for (const auto& c : cases) {
        const auto set = ButtonSetOf(c.style);
        EXPECT_EQ(ButtonCaptions(set, kDefaultButtonCaptions), c.captions) << c.style;
        std::vector<int> results;
        for (const auto& b : set) results.push_back(b.Result);
        EXPECT_EQ(results, c.results) << c.style;
    }
    // A language's own list is read by item number.
    EXPECT_EQ(ButtonCaptions(ButtonSetOf(0x3), "|O&K|&Abbrechen|&Ja|&Nein|A|B|C|"),
              (std::vector<std::string>{"&Ja", "&Nein", "&Abbrechen"}));
}

TEST(MsgBoxButtonsTest, StyleBitsDefaultButtonAndIcon)
{
    EXPECT_EQ(EffectiveStyle(0x24, 0, 1), 0x24u | 0x52000u);
    EXPECT_EQ(EffectiveStyle(0x24, 177, 1), 0x24u | 0x52000u | 0x80000u | 0x100000u);
    EXPECT_EQ(EffectiveStyle(0x10, 178, 0), 0x10u | 0x52000u | 0x80000u | 0x100000u);
    EXPECT_EQ(EffectiveStyle(0x0, 1, 2), 0x52000u | 0x10000000u);
    EXPECT_EQ(EffectiveStyle(0x0, 1, 12345), 0x52000u);  // an owner window, not mode 2

    EXPECT_EQ(DefaultButtonIndex(0x000, 3), 0);
    EXPECT_EQ(DefaultButtonIndex(0x100, 3), 1);
    EXPECT_EQ(DefaultButtonIndex(0x200, 3), 2);
    EXPECT_EQ(DefaultButtonIndex(0x200, 2), 0);  // modulo the buttons of this box
    EXPECT_EQ(DefaultButtonIndex(0x300, 1), 0);

    EXPECT_EQ(IconOfStyle(0x10), kIconStop);
    EXPECT_EQ(IconOfStyle(0x24), kIconQuestion);
    EXPECT_EQ(IconOfStyle(0x30), kIconExclamation);
    EXPECT_EQ(IconOfStyle(0x40), kIconInformation);
    EXPECT_EQ(IconOfStyle(0x00), kIconProgram);
    EXPECT_EQ(IconOfStyle(0x50), kIconProgram);
}

TEST(MsgBoxButtonsTest, KeysChooseButtonsAndFocusWrapsAround)
{
    EXPECT_EQ(ButtonHotkey("&Yes"), 'Y');
    EXPECT_EQ(ButtonHotkey("Re&try"), 'T');
    EXPECT_EQ(ButtonHotkey("&ok"), 'O');
    EXPECT_EQ(ButtonHotkey("Cancel"), 'C');  // no "&": the first character
    EXPECT_EQ(ButtonHotkey("OK&"), 0);
    EXPECT_EQ(ButtonHotkey(""), 0);

    const std::vector<std::string> captions = {"&Abort", "Re&try", "Ignore"};
    EXPECT_EQ(ButtonForKey(captions, 'A'), 0);
    EXPECT_EQ(ButtonForKey(captions, 't'), 1);
    EXPECT_EQ(ButtonForKey(captions, 'I'), 2);
    EXPECT_EQ(ButtonForKey(captions, 'R'), -1);  // R is not Retry's key
    EXPECT_EQ(ButtonForKey(captions, 0), -1);

    EXPECT_EQ(NextButton(-1, 3), 0);
    EXPECT_EQ(NextButton(0, 3), 1);
    EXPECT_EQ(NextButton(2, 3), 0);
    EXPECT_EQ(PreviousButton(0, 3), 2);
    EXPECT_EQ(PreviousButton(2, 3), 1);
    EXPECT_EQ(PreviousButton(-1, 3), 2);
    EXPECT_EQ(NextButton(0, 1), 0);
}

namespace {
// A font of 7 pixels per character.
int SevenPerChar(const std::string& line) { return static_cast<int>(line.size()) * 7; }
}  // namespace

TEST(MsgBoxLayoutTest, MeasuresLinesAndWrapsAtSixHundredPixels)
{
    struct Case {
        std::string text;
        TBoxSize size;
    };
    const Case cases[] = {
        {"abc", {31, 13}},
        {"", {17, 13}},                                   // measured as one blank
        {"abc\r\n", {31, 13}},                            // the empty last piece does not count
        {"a\r\n\r\nbcd", {31, 39}},                       // an inner empty line does
        {std::string(85, 'x'), {600, 13}},                // 595 px: one line, width capped
        {std::string(86, 'x'), {600, 26}},                // 602 px: a second line
        {std::string(1000, 'x') + "\r\nshort", {600, 12 * 13 + 13}},  // 7000 px: 12 lines
    };
    for (const auto& c : cases) EXPECT_EQ(MeasureText(c.text, 13, SevenPerChar), c.size) << c.text.size();

    EXPECT_EQ(LineHeight(13, 0, "Tahoma"), 13);
    EXPECT_EQ(LineHeight(13, 2, " ms pgothic "), 16);
}

TEST(MsgBoxLayoutTest, BoldPassagesWidenTheTextUntilItFits)
{
    const TBoxSize measured{300, 26};
    std::vector<int> tried;
    // A control that needs 335 pixels for two lines, and asks for its own width.
    auto control = [&](int need) {
        return [&tried, need, measured](int width) {
            tried.push_back(width);
            return TBoxSize{width, width >= need ? measured.Height : 2 * measured.Height};
        };
    };
    EXPECT_EQ(FitBoldWidth(measured, control(335)), 340);
    EXPECT_EQ(tried, (std::vector<int>{300, 310, 320, 330, 340}));

    tried.clear();
    EXPECT_EQ(FitBoldWidth(measured, control(300)), 300);
    EXPECT_EQ(tried.size(), 1u);

    tried.clear();
    EXPECT_EQ(FitBoldWidth(measured, control(10000)), 510);  // 21 trials, widest request + 10
    EXPECT_EQ(tried.size(), 21u);

    // A request wider than the tried width raises the fall-back.
    EXPECT_EQ(FitBoldWidth(measured, [](int w) { return TBoxSize{w + 100, 99}; }), 500 + 100 + 10);
}

TEST(MsgBoxLayoutTest, BoxRichEditAndButtonsArePlacedByTheRules)
{
    const TFrameMetrics m{4, 4, 19};
    EXPECT_EQ(BoxSize({610, 100}, m), (TBoxSize{610 + 8 + 64 + 54, 8 + 100 + 64 + 19 + 36}));
    EXPECT_EQ(BoxSize({100, 26}, m), (TBoxSize{360, 8 + 26 + 90 + 19 + 36}));  // at least 360 wide
    EXPECT_EQ(BoxSize({199, 38}, m).Width, 199 + 8 + 128 + 54);               // narrow: margin 64
    EXPECT_EQ(BoxSize({200, 39}, m), (TBoxSize{360, 8 + 39 + 64 + 19 + 36}));  // margin 32, short strip

    EXPECT_EQ(BoxPlacement({0, 0, 1024, 738}, {360, 179}, false), (TBoxRect{332, 279, 360, 179}));
    EXPECT_EQ(BoxPlacement({10, 20, 1024, 738}, {361, 180}, true), (TBoxRect{491, 449, 361, 180}));

    EXPECT_EQ(RichEditPlacement({400, 150}, {200, 26}), (TBoxRect{127, 44, 200, 67}));

    const TBoxSize client{400, 150};
    EXPECT_EQ(ButtonPlacement(client, 2, 3), (TBoxRect{320, 121, 70, 23}));
    EXPECT_EQ(ButtonPlacement(client, 1, 3), (TBoxRect{250, 121, 70, 23}));
    EXPECT_EQ(ButtonPlacement(client, 0, 3), (TBoxRect{180, 121, 70, 23}));
    EXPECT_EQ(ButtonPlacement(client, 0, 1), (TBoxRect{320, 121, 70, 23}));
}

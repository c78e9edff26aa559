// Message box mark-up, header and caption defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/LMsgBoxMarkup.h"

namespace {

struct MarkupCase {
    const char* input;
    const char* text;
    std::vector<TBoldRange> bold;
};

}  // namespace

TEST(MsgBoxMarkupTest, ConvertsBreaksTabsAndBoldPassages)
{
    const MarkupCase cases[] = {
        {"a<b>b</b>c<P>d", "abc\r\nd", {{1, 2}}},
        {"<B>one</B> and <b>two</B>", "one and two", {{0, 3}, {8, 11}}},
        {"<p>x<t>y<P>", "\r\nx\ty\r\n", {}},
        // The stored escapes are backslash, backslash, letter; one backslash
        // is ordinary text, and so is an upper-case letter.
        {"line\\\\nnext\\\\ttab", "line\r\nnext\ttab", {}},
        {"a\\nb\\\\N", "a\\nb\\\\N", {}},
        // A stray closing tag in front of an opening one leaves that passage
        // (and every later one) in normal weight.
        {"x</b>y<b>z</b>", "xyz", {}},
        {"<b>open", "open", {}},
        {"<b></b>x<b>y</b>", "xy", {{0, 0}, {1, 2}}},
        // Only a leading "<<b>" loses its first character.
        {"x<<b>y</b>", "x<y", {{2, 3}}},
        // Other tags are text.
        {"<i>keep</i> <br>", "<i>keep</i> <br>", {}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        const TMarkedText marked = ConvertMarkup(c.input);
        EXPECT_EQ(marked.Text, c.text) << c.input;
        EXPECT_EQ(marked.Bold, c.bold) << c.input;
    }
}

TEST(MsgBoxMarkupTest, RangesStayOnTheirCharactersWhenTagsInsideThemGo)
{
    // The inner opening tag is removed after the outer passage was recorded;
    // the recorded range must still cover "ab", not run past the text.
    const TMarkedText nested = ConvertMarkup("<b>a<b>b</b>c</b>d");
    EXPECT_EQ(nested.Text, "abcd");
    ASSERT_EQ(nested.Bold.size(), 2u);
    EXPECT_EQ(nested.Bold[0], (TBoldRange{0, 2}));
    EXPECT_EQ(nested.Bold[1], (TBoldRange{1, 3}));
    for (const auto& r : nested.Bold) EXPECT_LE(r.End, static_cast<int>(nested.Text.size()));
}

TEST(MsgBoxMarkupTest, HeaderSpellsKindCaptionsInCapitals)
{
    const TMarkedText error = ConvertMarkup(WithHeader("Error", "Disk<P>full"));
    EXPECT_EQ(error.Text, "ERROR\r\n\r\nDisk\r\nfull\r\n");
    EXPECT_EQ(error.Bold, (std::vector<TBoldRange>{{0, 5}}));

    // Only the kind captions as written are upper-cased.
    EXPECT_EQ(WithHeader("Confirm", "x"), "<<b>CONFIRM</b><P><P>x<P>");
    EXPECT_EQ(WithHeader("error", "x"), "<<b>error</b><P><P>x<P>");
    EXPECT_EQ(WithHeader("Fehler", "x"), "<<b>Fehler</b><P><P>x<P>");
    EXPECT_EQ(WithHeader("Err", "x"), "<<b>Err</b><P><P>x<P>");

    // A bold passage in the text keeps its place after the header.
    const TMarkedText withBold = ConvertMarkup(WithHeader("Attention", "a<b>b</b>"));
    EXPECT_EQ(withBold.Text, "ATTENTION\r\n\r\nab\r\n");
    EXPECT_EQ(withBold.Bold, (std::vector<TBoldRange>{{0, 9}, {14, 15}}));
}

TEST(MsgBoxMarkupTest, EmptyCaptionsAndButtonListsGetTheDefaults)
{
    EXPECT_EQ(CaptionOrKind("", kKindError), "Error");
    EXPECT_EQ(CaptionOrKind("", kKindAttention), "Attention");
    EXPECT_EQ(CaptionOrKind("", kKindConfirm), "Confirm");
    EXPECT_EQ(CaptionOrKind("Setup", kKindConfirm), "Setup");
    EXPECT_EQ(CaptionsOrDefault(""), "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|");
    EXPECT_EQ(CaptionsOrDefault("|&Ja|"), "|&Ja|");
}

// Self-delimited lists.
#include <gtest/gtest.h>

#include <climits>

#include "sys/LSUB.h"

using namespace std::string_literals;

namespace {

struct GetCase {
    std::string list;
    int index;
    std::string expected;
};

TEST(LSUB, CountNeedsAClosedList)
{
    const std::pair<std::string, int> cases[] = {
        {"", 0},    {"|", 0},       {"|a", 0},        {"|a|b", 0}, {"||", 1},
        {"|a|b|", 2}, {"|||", 2},  {"*a|b*c*", 2},    {"\0a\0b\0"s, 2}, {"\0"s, 0},
    };
    for (const auto& [list, count] : cases) EXPECT_EQ(SUB::Count(list), count) << list;
}

TEST(LSUB, GetReadsClosedItemsAndFallsBackToDefault)
{
    const GetCase cases[] = {
        {"|Error|Attention|Confirm|", 0, "Error"},
        {"|Error|Attention|Confirm|", 1, "Attention"},
        {"|Error|Attention|Confirm|", -1, "Confirm"},
        {"|Error|Attention|Confirm|", 3, "def"},
        {"|Error|Attention|Confirm|", -2, "def"},
        {"|a||b|", 1, "def"},  // an empty item is not told from a missing one
        {"|a|b", 0, "a"},      // unclosed: closed items still read
        {"|a|b", 1, "def"},    // ... but the tail is no item
        {"|a|b", -1, "def"},   // ... and there is no last item
        {"\0"s, 0, "def"},
        {"|", 0, "def"},
        {"", -1, "def"},
        {"\0x\0y\0"s, 1, "y"},
    };
    for (const auto& c : cases) EXPECT_EQ(SUB::Get(c.list, c.index, "def"), c.expected) << c.list << " " << c.index;
}

TEST(LSUB, GetInt64ConvertsOrGivesDefault)
{
    const std::string list = "|12| -7 |x||9223372036854775807|9223372036854775808|";
    EXPECT_EQ(SUB::GetInt64(list, 0, 99), 12);
    EXPECT_EQ(SUB::GetInt64(list, 1, 99), -7);
    EXPECT_EQ(SUB::GetInt64(list, 2, 99), 99);
    EXPECT_EQ(SUB::GetInt64(list, 3, 99), 99);
    EXPECT_EQ(SUB::GetInt64(list, 4, 99), INT64_MAX);
    EXPECT_EQ(SUB::GetInt64(list, 5, 99), 99);  // out of range
    EXPECT_EQ(SUB::GetInt64(list, 9, 99), 99);
}

TEST(LSUB, IndexOfIgnoresCaseAndSurroundingBlanks)
{
    struct Case {
        std::string list, item;
        bool prefix;
        int expected;
    };
    const Case cases[] = {
        {"|ab|cd|", " CD ", false, 1}, {"|ab|cd|", "ab", false, 0},   {"|ab|cd|", "ef", false, -1},
        {"|ab|cd|", "c", false, -1},   {"|ab|cde|", "CD", true, 1},   {"  |ab|cd|  ", "cd", false, 1},
        {"| a |b|", " a ", false, 0},  {"", "a", false, -1},          {"|a|", "", false, -1},
        {"|a|b|c|", "c", false, 2},    {"\0a\0b\0"s, "B", false, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SUB::IndexOf(c.list, c.item, c.prefix, -1), c.expected) << c.list << " / " << c.item;
}

TEST(LSUB, ContainsWholeItemsOnly)
{
    struct Case {
        std::string list, item;
        bool ignoreCase, trim, expected;
    };
    const Case cases[] = {
        {"|Alpha|Beta|", " beta ", true, true, true},  {"|Alpha|Beta|", "beta", false, true, false},
        {"|Alpha|Beta|", "Bet", true, true, false},    {"|Alpha|Beta|", " Beta", true, false, false},
        {"|Alpha|Beta|", "", true, true, false},       {"", "a", true, true, false},
        {"*a|b*c*", "a|b", true, true, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SUB::Contains(c.list, c.item, c.ignoreCase, c.trim), c.expected) << c.list << " / " << c.item;
}

TEST(LSUB, GetValueFindsFirstMatchingKey)
{
    const std::string list = "|Name = x|Size=5|Empty=|size=6|";
    EXPECT_EQ(SUB::GetValue(list, "name", "nf", "", true, true), " x");  // blank after "=" stays
    EXPECT_EQ(SUB::GetValue(list, "Size=", "nf", "", true, true), "5");
    EXPECT_EQ(SUB::GetValue(list, "Color", "nf", "", true, true), "nf");
    EXPECT_EQ(SUB::GetValue(list, "Empty", "nf", "ev", true, true), "ev");
    EXPECT_EQ(SUB::GetValue(list, "SIZE", "nf", "", true, false), "nf");  // exact case only
    EXPECT_EQ(SUB::GetValue(list, "size", "nf", "", true, false), "6");
    EXPECT_EQ(SUB::GetValue(list, "ame", "nf", "", true, true), "nf");   // whole keys only

    // Without the all-spaces flag only the first run of blanks before "=" goes.
    const std::string spaced = "|A  = 1|B =2|";
    EXPECT_EQ(SUB::GetValue(spaced, "A", "nf", "", false, true), " 1");
    EXPECT_EQ(SUB::GetValue(spaced, "B", "nf", "", false, true), "nf");
    EXPECT_EQ(SUB::GetValue(spaced, "B", "nf", "", true, true), "2");

    EXPECT_EQ(SUB::GetValue("|==x|", "=", "nf", "", true, true), "x");
    EXPECT_EQ(SUB::GetValue("|a=1", "a", "nf", "", true, true), "nf");  // unclosed
    EXPECT_EQ(SUB::GetValue("||", "a", "nf", "", true, true), "nf");
    EXPECT_EQ(SUB::GetValue("\0k=v\0"s, "K", "nf", "", true, true), "v");
}

TEST(LSUB, KeysValuesAndPairs)
{
    const std::string list = "|a = 1|b|c=x=y|";
    EXPECT_EQ(SUB::Keys(list, true), "|a||c|");
    EXPECT_EQ(SUB::Values(list, true), "|1||x=y|");
    auto [keys, values] = SUB::SplitPairs(list);
    EXPECT_EQ(keys, "|a ||c|");
    EXPECT_EQ(values, "| 1||x=y|");
    EXPECT_EQ(SUB::Values("|k=a|b|", false), "|a||");  // no "=": empty value
    EXPECT_EQ(SUB::Values("|k=a|b", false), "");  // no items

    EXPECT_EQ(SUB::JoinPairs("|a|b|", "|1|", true), "|a=1|b=|");
    EXPECT_EQ(SUB::JoinPairs("|a|b||", "|1|2|||", true), "|a=1|b=2|");
    EXPECT_EQ(SUB::JoinPairs("|a|b||", "|1|", false), "|a=1|b=|=|");
    EXPECT_EQ(SUB::JoinPairs("|k|", "*x|y*", true), "*k=x|y*");
    EXPECT_EQ(SUB::JoinPairs("", "", true), "");
    // Split and join are inverse for lists of pairs.
    const std::string pairs = "|Setup.exe=12|Engine.exe=400|";
    auto [k, v] = SUB::SplitPairs(pairs);
    EXPECT_EQ(SUB::JoinPairs(k, v, true), pairs);
}

TEST(LSUB, DeleteRemovesOneItem)
{
    const GetCase cases[] = {
        {"|a|b|c|", 1, "|a|c|"}, {"|a|b|c|", 2, "|a|b|"}, {"|a|", 0, "|"},       {"|a|b|", 2, "|a|b|"},
        {"|a|b|", -1, "|a|b|"},  {"", 0, ""},             {"|a|b", 0, "|a|b"}, {"*x|y*z*", 0, "*z*"},
    };
    for (const auto& c : cases) EXPECT_EQ(SUB::Delete(c.list, c.index), c.expected) << c.list << " " << c.index;
}

TEST(LSUB, PutReplacesOrGrows)
{
    struct Case {
        std::string list;
        int index;
        std::string text, expected;
    };
    const Case cases[] = {
        {"", 2, "x", "|||x|"},
        {"|a|b|", 0, "x|y", "*x|y*b*"},  // the new text holds the separator
        {"|a|b|", 1, "x", "|a|x|"},
        {"|a|", 3, "z", "|a|||z|"},
        {"*a*b*", 0, "c", "*c*b*"},      // keeps its own separator
        {"|a|", -1, "x", "|a|"},
        {"|a|b", 1, "x", "|a|x|"},       // unclosed: the closed item stays
        {"|a|", SUB::kMaxPutIndex + 1, "x", "|a|"},
        {"|a|", INT_MAX, "x", "|a|"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SUB::Put(c.list, c.index, c.text), c.expected) << c.list << " " << c.index;
}

TEST(LSUB, BuildAndAppendChooseAFreeSeparator)
{
    EXPECT_EQ(SUB::Build({"a", "b"}), "|a|b|");
    EXPECT_EQ(SUB::Build({"a|b", "c"}), "*a|b*c*");
    EXPECT_EQ(SUB::Build({"a|*", "~"}), "^a|*^~^");
    EXPECT_EQ(SUB::Build({}), "");
    EXPECT_EQ(SUB::Build({""}), "||");
    EXPECT_EQ(SUB::Build({"a", "A", "b", " a "}, true), "|a|b|");

    EXPECT_EQ(SUB::Append("|a|", {"b", "c"}), "|a|b|c|");
    EXPECT_EQ(SUB::Append("*a*", {"b"}), "*a*b*");
    EXPECT_EQ(SUB::Append("|a|", {"x|y"}), "*a*x|y*");
    EXPECT_EQ(SUB::Append("", {"a", "b"}), "|a|b|");
    EXPECT_EQ(SUB::Append("|a|", {}), "|a|");
    EXPECT_EQ(SUB::Append("|a|", {"A", "b", "b"}, true), "|a|b|");
}

TEST(LSUB, ReverseUniqueTrimEmpty)
{
    EXPECT_EQ(SUB::Reverse("|a|b|c|"), "|c|b|a|");
    EXPECT_EQ(SUB::Reverse("*a|b*c*"), "*c*a|b*");
    EXPECT_EQ(SUB::Reverse(""), "");
    EXPECT_EQ(SUB::Reverse("|a|b"), "|a|b");

    EXPECT_EQ(SUB::Unique("|a|A|b||a|", ""), "|a|b|");
    EXPECT_EQ(SUB::Unique("|a|A|b||a|", "|a|"), "|a|A|b|a|");
    EXPECT_EQ(SUB::Unique("*x|y*X|Y*z*", ""), "*x|y*z*");  // keeps the input's separator
    EXPECT_EQ(SUB::Unique("~a~ a ~b~", ""), "~a~b~");
    EXPECT_EQ(SUB::Unique("||", ""), "");
    EXPECT_EQ(SUB::Unique("", ""), "");

    EXPECT_EQ(SUB::TrimEmpty("|a|||", true, false), "|a|");
    EXPECT_EQ(SUB::TrimEmpty("|||", true, false), "");
    EXPECT_EQ(SUB::TrimEmpty("|||a|", false, true), "|a|");
    EXPECT_EQ(SUB::TrimEmpty("||a||b||", true, true), "|a||b|");
    EXPECT_EQ(SUB::TrimEmpty("||a||", false, false), "||a||");
    EXPECT_EQ(SUB::TrimEmpty("|a", true, true), "|a");
}

TEST(LSUB, NormalizeFromTextSetSeparator)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"|a|b|", "|a|b|"}, {"*a*b*", "|a|b|"}, {"*a|b*", "*a|b*"}, {"|", ""}, {"\0a\0"s, "|a|"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(SUB::Normalize(text), expected) << text;
    EXPECT_EQ(SUB::Normalize("a|b", true), "*a|b*");

    EXPECT_EQ(SUB::FromText("a|b"), "*a|b*");
    EXPECT_EQ(SUB::FromText("plain"), "|plain|");
    EXPECT_EQ(SUB::FromText(""), "||");

    EXPECT_EQ(SUB::SetSeparator("|a|b|", '*'), "*a*b*");
    EXPECT_EQ(SUB::SetSeparator("", '*'), "");
}

// Items that together hold all ten candidates leave NUL as the separator;
// such lists are read by their stored length like any other.
TEST(LSUB, ListsSeparatedByNulWork)
{
    const std::string every = SUB::kSeparators;  // all ten candidates
    const std::vector<std::string> items = {"|*~^!", "@#$&\xFF", "plain", ""};
    const std::string list = SUB::Build(items);
    ASSERT_EQ(list.size(), 1 + 5 + 1 + 5 + 1 + 5 + 1 + 0 + 1);
    EXPECT_EQ(list.front(), '\0');
    EXPECT_EQ(list.back(), '\0');
    EXPECT_EQ(SUB::Count(list), 4);
    for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(SUB::Get(list, static_cast<int>(i), "d"), items[i].empty() ? "d" : items[i]);
    EXPECT_EQ(SUB::IndexOf(list, "PLAIN", false, -1), 2);
    EXPECT_TRUE(SUB::Contains(list, "@#$&\xFF", true, true));

    EXPECT_EQ(SUB::Put(list, 1, "x"), SUB::Build({"|*~^!", "x", "plain", ""}));
    // Delete and Reverse keep the list's own separator.
    EXPECT_EQ(SUB::Delete(list, 1), "\0|*~^!\0plain\0\0"s);
    EXPECT_EQ(SUB::Reverse(list), SUB::Build({"", "plain", "@#$&\xFF", "|*~^!"}));
    EXPECT_EQ(SUB::TrimEmpty(list, true, false), SUB::Build({"|*~^!", "@#$&\xFF", "plain"}));
    EXPECT_EQ(SUB::Unique(SUB::Append(list, {"PLAIN", "new"}), ""),
              SUB::Build({"|*~^!", "@#$&\xFF", "plain", "new"}));

    const std::string one = SUB::FromText(every);
    EXPECT_EQ(SUB::Count(one), 1);
    EXPECT_EQ(SUB::Get(one, 0, ""), every);

    const std::string pairs = SUB::JoinPairs(SUB::Build({"k1", "k2"}), SUB::Build({"|*~^!@", "#$&\xFF"}), true);
    EXPECT_EQ(pairs.front(), '\0');
    EXPECT_EQ(SUB::GetValue(pairs, "k2", "nf", "", true, true), "#$&\xFF");
    auto [k, v] = SUB::SplitPairs(pairs);
    EXPECT_EQ(k, "|k1|k2|");
    EXPECT_EQ(SUB::Get(v, 0, ""), "|*~^!@");
}

// Whatever the text, no operation fails, and the results keep their shape.
TEST(LSUB, IllFormedListsNeverCrash)
{
    const std::string texts[] = {
        "",     "|",     "\0"s, "\0\0"s, "|a",     "a",          "ab",   "|a|b", "||||",
        "\xFF", "=",     "|=|", "|= |", " | a |", "\x01 a\x01"s, "|a\0b|"s, "\0|\0"s,
    };
    const int indexes[] = {INT_MIN, -5, -1, 0, 1, 2, 100, INT_MAX};
    for (const auto& t : texts) {
        SCOPED_TRACE(testing::PrintToString(t));
        EXPECT_GE(SUB::Count(t), 0);
        for (int i : indexes) {
            const std::string got = SUB::Get(t, i, "DEF");
            EXPECT_TRUE(got == "DEF" || t.find(got) != std::string::npos);
            (void)SUB::GetInt64(t, i, 0);
            const std::string del = SUB::Delete(t, i);
            EXPECT_LE(SUB::Count(del), SUB::Count(t));
            const std::string put = SUB::Put(t, i, "v");
            if (i >= 0 && i <= 100) {
                EXPECT_GE(SUB::Count(put), i + 1);
                EXPECT_EQ(SUB::Get(put, i, ""), "v");
            }
        }
        for (const auto& other : texts) {
            (void)SUB::IndexOf(t, other, false, -1);
            (void)SUB::IndexOf(t, other, true, -1);
            (void)SUB::Contains(t, other, true, true);
            (void)SUB::GetValue(t, other, "", "", true, true);
            (void)SUB::GetValue(t, other, "", "", false, false);
            (void)SUB::JoinPairs(t, other, true);
            (void)SUB::Unique(t, other);
            const std::string app = SUB::Append(t, {other, "x"});
            EXPECT_FALSE(app.empty());
        }
        (void)SUB::Keys(t, true);
        (void)SUB::Values(t, false);
        (void)SUB::SplitPairs(t);
        (void)SUB::Reverse(t);
        for (bool tr : {false, true})
            for (bool le : {false, true}) EXPECT_NE(SUB::TrimEmpty(t, tr, le).size(), 1u);
        EXPECT_NE(SUB::Normalize(t).size(), 1u);
        EXPECT_GE(SUB::Count(SUB::FromText(t)), 1);
        (void)SUB::SetSeparator(t, '*');
    }
}

}  // namespace

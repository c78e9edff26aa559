#include <gtest/gtest.h>

#include "stub/StubProgress.h"

TEST(Progress, ActivityCycle)
{
    int c = 0;
    for (int i = 0; i < 10; ++i) c = NextActivityPosition(c);
    EXPECT_EQ(c, 4);
}

// Steps handed to a bar together must leave it where single steps would.
TEST(Progress, SteppedBarPositionWrapsAsTheBarDoes)
{
    struct Case {
        int position, low, high, step, count, expected;
    };
    const Case cases[] = {
        {0, 0, 100, 1, 7, 7},      // plain steps
        {9, 0, 10, 1, 1, 10},      // the top itself is reached
        {9, 0, 10, 1, 3, 2},       // 10, then past the top: 1, 2
        {3, 0, 5, 1, 1000, 3},     // many rounds
        {8, 2, 10, 3, 1, 3},       // 11 wraps to the range's low end + 1
        {1, 0, 10, -5, 1, 6},      // a negative step wraps from the top
        {4, 7, 7, 1, 5, 4},        // no range: the bar does not move
        {4, 0, 10, 1, 0, 4},       // no steps
    };
    for (const auto& c : cases)
        EXPECT_EQ(SteppedBarPosition(c.position, c.low, c.high, c.step, c.count), c.expected)
            << c.position << " " << c.low << ".." << c.high << " step " << c.step << " x" << c.count;
}

// The bars are set again only once the interval has passed since they were
// last set, also across the tick count's wrap.
TEST(Progress, RepaintDueOnceTheIntervalHasPassed)
{
    constexpr uint32_t ms = kProgressRepaintMs;
    struct Case {
        uint32_t now, last;
        bool due;
    };
    const Case cases[] = {
        {5000, 5000, false},                   // just set
        {5000 + ms - 1, 5000, false},          // one tick short
        {5000 + ms, 5000, true},               // the interval itself
        {5000 + 10 * ms, 5000, true},          // long since
        {0xFFFFFFF5u, 0xFFFFFFF0u, false},     // set just before the wrap
        {ms - 17, 0xFFFFFFF0u, false},         // across the wrap, one tick short
        {ms - 16, 0xFFFFFFF0u, true},          // across the wrap, due
        {123456, 0, true},                     // never set: the first step shows at once
        {0x90000000u, 0, true},                // ... also on a system up for 28 days
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressRepaintDue(c.now, c.last), c.due) << "now " << c.now << " last " << c.last;
}

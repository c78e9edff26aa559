#include "stub/StubProgress.h"

int NextActivityPosition(int counter)
{
    int next = counter + 1;
    return next > kActivityTop ? 0 : next;
}

int SteppedBarPosition(int position, int low, int high, int step, int count)
{
    if (low == high) return position;  // a bar without a range does not move
    for (int i = 0; i < count; ++i) {
        position += step;
        if (position > high) position = (position - low) % (high - low) + low;
        if (position < low) position = (position - low) % (high - low) + high;
    }
    return position;
}

bool ProgressRepaintDue(uint32_t now, uint32_t last) { return now - last >= kProgressRepaintMs; }

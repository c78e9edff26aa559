// The arithmetic of the start-up window's progress bars.
#pragma once

// The activity bar's range is 0 to kActivityTop; it cycles 1, 2, 3, 4, 5, 0,
// 1, ...
constexpr int kActivityTop = 5;
int NextActivityPosition(int counter);

// Where count steps leave a progress bar, each taken as the bar takes one
// (PBM_STEPIT): a position past the top of the range wraps round from the
// bottom, one below it from the top.
int SteppedBarPosition(int position, int low, int high, int step, int count);

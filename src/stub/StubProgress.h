// The arithmetic of the start-up window's progress bars.
#pragma once

#include <cstdint>

// The activity bar's range is 0 to kActivityTop; it cycles 1, 2, 3, 4, 5, 0,
// 1, ...
constexpr int kActivityTop = 5;
int NextActivityPosition(int counter);

// Where count steps leave a progress bar, each taken as the bar takes one
// (PBM_STEPIT): a position past the top of the range wraps round from the
// bottom, one below it from the top.
int SteppedBarPosition(int position, int low, int high, int step, int count);

// The bars take the steps counted since they were last set at most every
// kProgressRepaintMs (StubProgressWin.cpp): ten times a second still shows
// them moving.
constexpr uint32_t kProgressRepaintMs = 100;
// True when bars last set at tick count last are due to be set at now. Tick
// counts wrap round every 49.7 days.
bool ProgressRepaintDue(uint32_t now, uint32_t last);

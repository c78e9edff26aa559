// Process-wide pieces the stub's roles share: the progress sink of the
// start-up window (the agent's run log and listener live in agent/).
#pragma once

#include <cstdint>
#include <string>

#include "sys/DateFormat.h"
#include "agent/AgentRunLog.h"
#include "sys/LWriteln.h"

// ---- Progress -------------------------------------------------------------

// The activity bar cycles 1, 2, 3, 4, 5, 0, 1, ...
int NextActivityPosition(int counter);

// Where count steps leave a progress bar, each taken as the bar takes one
// (PBM_STEPIT): a position past the top of the range wraps round from the
// bottom, one below it from the top.
int SteppedBarPosition(int position, int low, int high, int step, int count);

// The extraction's and the downloads' progress sink (the window's bars).
void ProgressCallback(int kind, int min, int max, int position, int step, const std::string& text);

class TProgBar;
// The process progress bar bound to ProgressCallback, made on first use.
TProgBar& EnsureProgressBar();


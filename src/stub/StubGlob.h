// Process-wide pieces the stub's roles share: the progress sink of the
// start-up window (the agent's run log and listener live in agent/).
#pragma once

#include <cstdint>
#include <string>

// ---- Progress -------------------------------------------------------------

// The activity bar cycles 1, 2, 3, 4, 5, 0, 1, ...
int NextActivityPosition(int counter);

// Where count steps leave a progress bar, each taken as the bar takes one
// (PBM_STEPIT): a position past the top of the range wraps round from the
// bottom, one below it from the top.
int SteppedBarPosition(int position, int low, int high, int step, int count);

struct TStubRun;
class TProgBar;

// The extraction's and the downloads' progress sink (the window's bars).
void ProgressCallback(TStubRun& run, int kind, int max, int position, int step);
// Hands the bars the steps counted since they were last set.
void ShowPendingProgress(TStubRun& run);
// The process progress bar bound to ProgressCallback, made on first use.
TProgBar& EnsureProgressBar(TStubRun& run);

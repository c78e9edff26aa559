// The start-up window's progress sink: what the extraction and the
// downloads report reaches the two bars, batched so that the window costs
// the extraction little.
#pragma once

struct TStubRun;
class TProgBar;

// The extraction's and the downloads' progress sink (the window's bars).
void ProgressCallback(TStubRun& run, int kind, int max, int position, int step);
// Hands the bars the steps counted since they were last set.
void ShowPendingProgress(TStubRun& run);
// The process progress bar bound to ProgressCallback, made on first use.
TProgBar& EnsureProgressBar(TStubRun& run);

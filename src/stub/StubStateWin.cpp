#include "stub/StubStateWin.h"

namespace {
// The one file-level pointer to the run. Windows calls the window procedure,
// the new handler and the unhandled-exception filter without a context of
// ours: those reach the run through it. Everything else gets the run as a
// parameter.
TStubRun* gActiveRun = nullptr;
}  // namespace

TStubRun* ActiveRun() { return gActiveRun; }
void SetActiveRun(TStubRun* run) { gActiveRun = run; }

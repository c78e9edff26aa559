// Compiled by the layering checks: from the sys layer's view of src/ this
// include of a higher layer must not be found; from the stub's it is.
#include "stub/StubProgress.h"

int UsesTheStubLayer() { return NextActivityPosition(0); }

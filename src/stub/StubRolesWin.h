// The stub's main body and its roles: the plain stub, the spanned stub's
// first start, the plain agent (which starts the resident copy and turns its
// own switches into messages for it) and the resident copy.
#pragma once

// The main body: makes the run state, reads the own package, decides the
// role and runs it, writes the end lines; the process's exit code.
int RunStub();

// The stub's error boundary: whatever ends the process unexpectedly (an
// allocation that cannot be met, a stray exception that reaches terminate, a
// crash the system reports as unhandled) is traced, the run's temporary
// folders are removed, and the user is told in a plain system box (nothing
// with /hide or in the agent).
#pragma once

// The exit code of a stub that ended unexpectedly.
constexpr int kUnexpectedEndExitCode = 255;

// Installs the handlers for an allocation that cannot be met, for terminate
// and for an unhandled system exception; called first thing at start.
void InstallErrorBoundary();

// Traces `what`, removes the run's temporary folders, tells the user (unless
// the run is hidden or an agent) and ends the process with
// kUnexpectedEndExitCode.
[[noreturn]] void EndUnexpectedly(const char* what);

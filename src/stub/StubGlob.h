// Process-wide pieces the stub's roles share: the agent's run log, the
// progress sink of the start-up window, and the outside listener.
#pragma once

#include <cstdint>
#include <string>

#include "sys/DateFormat.h"
#include "sys/LWriteln.h"

// ---- Run log --------------------------------------------------------------

// Set once at start: an agent package with the log flag writes a run log.
void SetRunLogEnabled(bool enabled);
bool RunLogEnabled();

// Text between the thread id and the message: three blanks, " X " in the
// resident copy.
void SetLogIndent(const std::string& indent);
std::string LogIndent();

// The log file beside the agent: both agent files write to "X_" + the plain
// name with its last extension replaced by ".log" (X_tool.exe and tool.exe
// share X_tool.log; x_tool.exe writes X_x_tool.log).
std::string RunLogFileNameFor(const std::string& exePath);

// One line without its CR LF: stamp, blank, thread id right-aligned in five
// characters (longer ids whole), indent, message.
std::string RunLogLineText(const std::string& stamp, uint32_t threadId, const std::string& indent,
                           const std::string& message);

// Appends one line when the run log is enabled; otherwise returns at once.
void RunLogLine(const std::string& message);
std::string RunLogFileName();

// TraceKeyValue and TraceConcat live with the debug channel (sys/LWriteln).

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

// ---- Listener -------------------------------------------------------------

void SetListener(uintptr_t window, uint32_t message);
// Posts the listener message (wParam code, lParam value) when one is set.
void NotifyListener(int code, intptr_t value);

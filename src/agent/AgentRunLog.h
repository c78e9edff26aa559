// The agent's run log, a dated file beside the agent that both agent files
// append to, and the outside listener window that hears the agent's steps.
#pragma once

#include <cstdint>
#include <string>

// Set once at start: an agent package with the log flag writes a run log.
void SetRunLogEnabled(bool enabled);

// Text between the thread id and the message: three blanks, " X " in the
// resident copy.
void SetLogIndent(const std::string& indent);

// The log file beside the agent: both agent files write to "X_" + the plain
// name with its last extension replaced by ".log" (X_tool.exe and tool.exe
// share X_tool.log; x_tool.exe writes X_x_tool.log).
std::string RunLogFileNameFor(const std::string& exePath);

// One line without its CR LF: stamp, blank, thread id right-aligned in five
// characters (longer ids whole), indent, message.
std::string RunLogLineText(const std::string& stamp, uint32_t threadId, const std::string& indent,
                           const std::string& message);

// Appends one line when the run log is enabled; otherwise returns at once.
// A fixed text goes through the second form: one string made here, not one
// at every call.
void RunLogLine(const std::string& message);
void RunLogLine(const char* message);
std::string RunLogFileName();

void SetListener(uintptr_t window, uint32_t message);
// Posts the listener message (wParam code, lParam value) when one is set.
void NotifyListener(int code, intptr_t value);

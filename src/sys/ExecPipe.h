// ExecPipe: runs a command line with its standard input, output and error on
// anonymous pipes and returns what it printed, converted from the OEM code
// page (what console programs print) to the ANSI code page (what the rest of
// the system reads).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Exit code reported when the command could not be started.
inline constexpr uint32_t kRunCapturedStartFailed = 21;
// Longest command line the system starts.
inline constexpr size_t kMaxCommandLine = 32766;

// Receives each newly read piece of output or error text; setting `abort`
// terminates the child (exit code 255).
using TCaptureCallback = std::function<void(const std::string& text, bool& abort)>;

// Runs `program` (with `parameters` when not empty) with the given show
// command and waits for it to end, reading its output and error texts as
// they come. `settleMs` is spent serving the message queue after the end,
// before the pipes are read for the last time (for what the child's own
// children still write). True exactly when the exit code is 0.
//
// A start failure gives exit code 21 and an error text: the system's message
// + " --- " + the command line's first 256 characters, or "Command line is
// too long" for a command line above kMaxCommandLine characters.
bool RunCaptured(const std::string& program, const std::string& parameters, int showCommand, uint32_t& exitCode,
                 std::string& output, std::string& errorText, uint32_t settleMs,
                 const TCaptureCallback& callback = nullptr);

// The command line RunCaptured starts: a program path with a blank and no
// double quote is quoted; parameters follow after a blank.
std::string CapturedCommandLine(const std::string& program, const std::string& parameters);

// Launch: starting a program by its full path. The path is always handed to
// the system as the program to run, never left for it to find in a command
// line: an unquoted "C:\tmp dir\setup.exe" would otherwise start C:\tmp.exe
// when such a file exists. In the command line the program gets quotes when
// it holds a blank, so that it reads its own arguments as before.
#pragma once

#include <string>

// ---- Portable ---------------------------------------------------------------

// The program path as the first word of a command line: in double quotes when
// it holds a blank or a tab (and is not quoted already), otherwise as is.
std::string QuotedProgramPath(const std::string& program);

// The command line of `program` with `arguments` (trimmed; nothing is added
// for none).
std::string ProgramCommandLine(const std::string& program, const std::string& arguments);

// ---- Win32 ------------------------------------------------------------------

// Starts `program` (a full path) with a whole command line that begins with
// QuotedProgramPath(program). The process handle (the caller owns it), or null
// when it could not be started; the thread handle is closed.
void* StartProgramLine(const std::string& program, const std::string& commandLine, int showState);

// Starts `program` (a full path) with `arguments` and the show state in the
// start-up record. The process handle (the caller owns it), or null when it
// could not be started; the thread handle is closed.
void* StartProgram(const std::string& program, const std::string& arguments, int showState);

// The same for a program the caller does not wait for: true when it started.
bool StartProgramDetached(const std::string& program, const std::string& arguments, int showState);

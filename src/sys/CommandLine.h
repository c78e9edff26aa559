// Command-line switches. Switches are written as a slash, the name, "=" and
// the value ("/SpanCdLvl=2"), or as a bare flag ("/hide"), and are matched
// without regard to case.
//
// Every reader comes in two forms: a pure one that takes the argument text
// (the "...In" functions, for tests and for callers that hold another
// program's command line) and one that reads the process's own command line,
// which the Windows start-up sets once with SetProcessCommandLine before any
// other code runs.
#pragma once

#include <cstdint>
#include <string>

// The argument text of a raw command line: everything after the program
// itself, trimmed. `programName` is the program's file name ("setup.exe"),
// `programPath` its full path. The program is found, ignoring case, as the
// name followed by a double quote, else as the name standing as a whole word
// (followed by a blank, a quote or the end), else as the full path; what
// precedes it goes too. A leftover of one single character counts as empty.
std::string CommandLineArgs(const std::string& raw, const std::string& programName,
                            const std::string& programPath);

// Sets the process's command line (the raw text as the system passes it,
// the program's file name and full path). Called once at start-up.
void SetProcessCommandLine(const std::string& raw, const std::string& programName,
                           const std::string& programPath);
// The raw command line given to SetProcessCommandLine ("" before).
std::string ProcessCommandLine();
// CommandLineArgs of the process's command line ("" before it is set).
std::string CommandLineArgs();

// Value of a switch. `name` may be written "/STOP=", "/STOP", "STOP=" or
// "STOP"; written with a leading "-" ("-STOP") the arguments are read as
// "-" switches instead. Double quotes in the arguments only group text and
// never reach a value; a value ends at the next blank followed by the
// switch character; blanks before "=" are allowed ("/STOP =5"). The first
// occurrence wins. Absent: `def`. Present without a value: "". Trimmed.
std::string GetSwitchIn(const std::string& args, const std::string& name, const std::string& def);
std::string GetSwitch(const char* name, const char* def);

// GetSwitch converted to an integer; `def` when absent, empty or not an integer.
int64_t GetSwitchIntIn(const std::string& args, const std::string& name, int64_t def);
int64_t GetSwitchInt(const char* name, int64_t def);

// True when the trimmed name followed by a blank occurs in the arguments
// (ignoring case), so "/hide" does not match "/hidden". For switches
// without a value. An empty name is never present.
bool HasSwitchIn(const std::string& args, const std::string& name);
bool HasSwitch(const char* name);

// Removes the first occurrence (case-sensitive) of `sw` (written with its
// "/", e.g. "/SpanCdLvl=") together with its value and the blanks after it,
// up to the next switch. The value ends at a "/" that follows a blank
// outside double quotes, so quoted values and paths with "/" go whole.
std::string RemoveSwitch(const std::string& line, const std::string& sw);

// ProcessViewer: finding a running program by its path or file name, its main
// window, and closing, quitting or terminating it.
//
// Programs are named by full path or by file name; surrounding blanks and
// double quotes are removed first. In full-path mode a program of the same
// file name in another folder is a different program (where the road can
// tell: the tasklist road knows file names only).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "sys/ProcessRules.h"

// name=pid items of the running processes: on Windows XP every process
// (PSAPI; full paths in full-path mode), elsewhere one item per executable
// name that owns a top-level window (ListWindowProcesses).
std::string ListProcesses(bool fullPath);

// The PSAPI list of ListProcesses: "System Idle Process" for id 0, processes
// that cannot be opened or named are left out.
std::string ListProcessesPsapi(bool fullPath);

// The process id of a running program, 0 when none, by the road of this
// Windows generation (ChooseFindRoad).
uint32_t FindProcess(const std::string& program, bool fullPath);

// The three roads one by one.
// tasklist: the first-listed process of the program's file name. The command
// is started from the system folder by its full path, never searched for.
uint32_t FindProcessByTasklist(const std::string& program);
// PSAPI: the last-listed match.
uint32_t FindProcessByPsapi(const std::string& program, bool fullPath);
// ToolHelp: the last match of the snapshot.
uint32_t FindProcessByToolHelp(const std::string& program, bool fullPath);

// The file system's short form of a path, "" when it has none.
std::string ShortPathOf(const std::string& path);

// The path of the tasklist command the tasklist road runs.
std::string TasklistPath();

// The main window of a running program (TAnalizer's choice among the
// top-level windows of the process FindProcess names); nullptr for none.
HWND FindMainWindow(const std::string& program, bool fullPath);
// The same for a known process.
HWND FindMainWindowOfProcess(uint32_t pid);

// Posts the message to the program's main window; false when there is none
// or the post failed.
bool PostProcessMessage(const std::string& program, bool fullPath, UINT message, WPARAM wParam, LPARAM lParam);

// WM_CLOSE (wParam 15, lParam 255) to the main window, then, for a wait time
// above 0, WaitWhileRunning. False when no main window was found.
bool CloseProgram(const std::string& program, bool fullPath, uint32_t waitMs);
// WM_QUIT (wParam 15, lParam 255) to the main window's thread queue.
bool QuitProgram(const std::string& program, bool fullPath);
// Terminates the program's process with exit code 0; true when the
// termination call succeeded.
bool TerminateProgram(const std::string& program, bool fullPath);

// Whether a process of the program's file name runs.
bool IsProgramRunning(const std::string& program);

// Serves the message queue while the program runs, at most `timeMs` (1000
// when 0). True when it is not running (any more).
bool WaitWhileRunning(const std::string& program, uint32_t timeMs);

// Serves the message queue while a top-level window of the class and title
// exists (an empty title: any title); no time limit. Returns at once when
// both are empty.
void WaitWhileWindow(const std::string& className, const std::string& title);

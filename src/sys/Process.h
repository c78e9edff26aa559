// Process: the top-level windows of the system with the processes that own
// them, as parallel self-delimited lists.
#pragma once

#include <cstdint>
#include <string>

// One enumeration of top-level windows. The three first fields steer it; the
// seven lists describe the windows found (item i of each list is window i).
struct TProcessData {
    // Every window (true), or only the first window of each executable name.
    bool allWindows = false;
    // Stop at the first window whose executable name is this (case-sensitive;
    // "*" never matches). Only when allWindows is off.
    std::string wantedName = "*";
    // Stop at the first window of this process (-1 never matches). Only when
    // allWindows is off.
    int32_t wantedPid = -1;

    std::string pids = "|";     // process id, decimal
    std::string names = "|";    // executable file name of the process
    std::string classes = "|";  // window class name
    std::string handles = "|";  // window handle, decimal
    std::string threads = "|";  // id of the thread that created the window
    std::string titles = "|";   // window text
    std::string visible = "|";  // "1" visible, "0" hidden
};

// Fills the lists of `data` from the top-level windows, in the system's
// enumeration order. False when the windows could not be enumerated.
bool EnumTopWindows(TProcessData& data);

// name=pid items, one per executable name, with the process of its first
// window in enumeration order.
std::string ListWindowProcesses();

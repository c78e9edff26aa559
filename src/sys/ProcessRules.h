// The decisions of process inspection, kept apart from the system calls so
// they can be tested without Windows: which road finds a process on which
// Windows, how the output of "tasklist /FO csv" gives a pid, when two
// program names are the same program, and which top-level window of a
// process is its main window (TAnalizer).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// ---- Names ------------------------------------------------------------------

// Two names are the same name when, trimmed of blanks, they are equal without
// regard to letter case.
bool SameProcessName(const std::string& a, const std::string& b);

// Short path of a path as the file system gives it, "" when it cannot.
using TShortPathFn = std::function<std::string(const std::string&)>;

// One process of the PSAPI or ToolHelp walk against the wanted program: the
// wanted name is the same name as the process's full path or as its base
// name (ignored in full-path mode), or the short paths of both are equal.
// `wantedShort` is the wanted name's short path, worked out once per search
// ("" when unobtainable). A short path that cannot be obtained, on either
// side, matches nothing.
bool ProcessNameMatches(const std::string& wanted, const std::string& wantedShort, const std::string& fullPath,
                        const std::string& baseName, bool fullPathMode, const TShortPathFn& shortPath);

// The list search (TerminateProgram, IsProgramRunning): `list` holds
// name=pid items as ListProcesses gives them (file names, or full paths on
// the PSAPI list in full-path mode). Searched from the last item to the
// first; an item matches when its name is the same name as the wanted
// program's file name, or as the whole wanted path (so a list of full
// paths finds the program it names), or when its short path equals the
// wanted one's. The pid of the first match, 0 when none.
uint32_t FindPidInProcessList(const std::string& list, const std::string& wanted, const TShortPathFn& shortPath);

// ---- Roads ------------------------------------------------------------------

enum class TFindRoad { Tasklist, Psapi, ToolHelp };

// Windows 8 and later: the tasklist command; other NT systems: PSAPI;
// Windows 9x: ToolHelp snapshots.
TFindRoad ChooseFindRoad(bool isNT, bool windows8OrLater);

// ---- tasklist ---------------------------------------------------------------

// The output of "tasklist /FO csv" as one list of lines: trimmed, every
// double quote removed, each CR LF an item boundary, framed by "|".
std::string TasklistLines(const std::string& output);

// The pid of the first listed process whose image name (the first column)
// is the same name as the wanted program's file name; 0 when none. The
// header line names no pid, so it never matches.
uint32_t FindPidInTasklist(const std::string& output, const std::string& wanted);

// ---- Main window --------------------------------------------------------------

// Collects the top-level windows of one process and picks its main window.
// Window ids are handles as integers; 0 is "none".
class TAnalizer {
public:
    static constexpr int kCapacity = 2001;

    // Owner of a window (0 when it has none).
    using TOwnerFn = std::function<uint64_t(uint64_t)>;

    void Clear();
    // Stores one window of the process in enumeration order; false (and the
    // window is not kept) when the store is full.
    bool Add(uint64_t window, bool hasTitle, bool visible);
    // Scores the stored windows: each window counts for its root owner (the
    // end of its owner links, the window itself when it has none) when that
    // root is stored; the count is worth 4, a title 2 and visibility 1.
    void Score(const TOwnerFn& ownerOf);
    // The highest score, the first stored among equals; 0 when the best
    // score is 0 or nothing is stored.
    uint64_t Best() const;

    int count = 0;
    uint32_t pid = 0;
    uint64_t windows[kCapacity] = {};
    uint16_t scores[kCapacity] = {};

private:
    bool titled_[kCapacity] = {};
    bool visible_[kCapacity] = {};
    int IndexOf(uint64_t window) const;
};

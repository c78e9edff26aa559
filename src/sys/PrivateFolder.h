// PrivateFolder: the folders an elevated program makes for itself in places
// that others can write to (%TEMP%, a drive's root), and the reparse-point
// rules for writing and deleting there.
//
// A folder of ours is created by this call, never taken over: a name that
// exists already (a folder, a file, a junction someone planted) is refused
// and the next number is tried. It gets an explicit, protected access list
// instead of the one its parent would hand down: run elevated, only SYSTEM
// and the Administrators may write there (not the user's own SID, which the
// user's non-elevated programs carry too; the users may only read and run);
// run without administrator rights, the own user. Nothing here throws.
#pragma once

#include <cstdint>
#include <string>

// ---- Portable ---------------------------------------------------------------

// How many numbers a numbered folder tries after the first before it gives
// up: enough to step over a few leftovers or planted names, bounded so that
// a crowded folder cannot keep the run going round.
constexpr int kNumberedFolderTries = 64;

// base + decimal(first + i), for i from 0; numbers wrap within 32 bits.
std::string NumberedFolderName(const std::string& base, uint32_t first, int i);

// True when `path`, or any folder between `root` (included) and it, is a
// reparse point by `isReparse`: writing there could land outside the root.
// `path` must lie below `root` (compared without regard to case); a path
// outside it counts as crossing.
bool PathCrossesReparsePoint(const std::string& root, const std::string& path, bool (*isReparse)(const std::string&));

// ---- Win32 ------------------------------------------------------------------

// True when the process runs with administrator rights in force (elevated
// under UAC; an administrator on systems without UAC).
bool RunsElevated();

// The access list a private folder gets, as a security-descriptor string:
// "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)" elevated (the
// last: read and execute), "D:P(A;OICI;FA;;;<user>)" otherwise. Empty when the user's SID cannot be read.
std::string PrivateFolderSddl(bool elevated);

// Creates `path` as a new folder with the private access list; its missing
// parents are created as plain folders. False when anything exists at the
// path already, or the folder could not be created.
bool CreatePrivateFolder(const std::string& path);

// The first NumberedFolderName(base, first, i) for i in 0 .. tries-1 that
// CreatePrivateFolder made; empty when none could be made.
std::string CreateNumberedPrivateFolder(const std::string& base, uint32_t first, int tries = kNumberedFolderTries);

// True when the path itself is a reparse point (junction, symbolic link,
// mount point), folder or file. False for a missing path.
bool IsReparsePoint(const std::string& path);

// The same, asking the file system.
bool PathCrossesReparsePoint(const std::string& root, const std::string& path);

// Files: the file-system routines of clean-up and extraction. Deleting
// folder trees and files by mask, the executable's self-deletion batch,
// writing a data file whole or appended, the CD eject between disks, free
// disk space, and searching folder trees and drives.
//
// The decisions that need no system (the batch text, drive roots, the names
// that may be written below a folder) are portable and live in Files.cpp;
// the rest is Win32 (FilesWin.cpp). Nothing here throws: failures give false,
// 0, -1 or an empty text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---- Portable ---------------------------------------------------------------

// Name of a self-deletion batch: "_DEL_" + the 64 random bits in 16 hex
// digits + ".BAT". A fixed name would let another program of the user
// prepare or rewrite the file that the elevated interpreter runs.
std::string SelfDeleteBatchName(uint64_t randomBits);

// How often the batch tries to delete the executable, about one second
// apart, before it gives up: a file that can never be deleted (no rights,
// held open by another program) must not keep a command interpreter
// spinning for ever.
constexpr int kSelfDeleteAttempts = 60;

// The batch that deletes `exePath` once its process has released it, then
// (with `removeFolder`) the executable's folder when it is empty, then
// itself. Lines end with CR LF; every command's output goes to NUL, as the
// interpreter would otherwise print "Access denied." into the console it
// inherited while the executable is still running.
std::string SelfDeleteBatchText(const std::string& exePath, const std::string& batchPath, bool removeFolder,
                                int attempts = kSelfDeleteAttempts);

// The root that free-space queries use. Every "/" becomes "\". With
// `forceLetterRoot`, or for a path shorter than 3 characters, the upper-cased
// first character + ":\"; otherwise the path cut before the first "\" at or
// after its 4th character ("C:\Users\x" -> "C:\Users", "\\server\share" ->
// "\\server"), or the whole path without such a "\". Empty for empty.
std::string DriveRoot(const std::string& path, bool forceLetterRoot);

// The upper-case drive letter of a path, or 0 when its first character is
// not a letter.
char DriveLetterOf(const std::string& path);

// Folder part of a path without its final "\" or "/" ("" when none), and the
// name after it (after the last "\", "/" or ":", so that a drive-relative
// "C:name" or an address gives its name only).
std::string FolderPart(const std::string& path);
std::string NamePart(const std::string& path);

// folder + "\" + name, without doubling a "\" that ends the folder.
std::string JoinPath(const std::string& folder, const std::string& name);

// True when a part of the relative path is one of the system's reserved
// device names (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, COM and LPT
// with a superscript 1, 2 or 3 of the system code page, CONIN$, CONOUT$), also with an extension or trailing blanks ("nul.txt", "sub\COM1"):
// such a name opens the device wherever the folder is.
bool NamesDevice(std::string_view path);

// ---- Win32 ------------------------------------------------------------------

// Writes the batch to the system temporary folder and starts it hidden; the
// caller then ends its process and the batch deletes its executable.
void DeleteMySelf(bool removeFolder);

// DeleteMySelf's work for any executable and folder: creates a new batch of
// a fresh random name in `folder` (never opening an existing file), written
// in the OEM code page that the command interpreter reads, and starts it
// hidden without waiting. The batch's path when it was started, else empty.
std::string StartSelfDeleteBatch(const std::string& exePath, const std::string& folder, bool removeFolder,
                                 int attempts = kSelfDeleteAttempts);

// True when the file's extension names a shortcut: ".lnk", ".pif" or ".url"
// (any case). Only such files are removed as a product's old shortcuts.
bool IsShortcutFile(const std::string& path);

// True when every byte of `data` was written. With `append` an existing file
// is extended, otherwise created or emptied. A non-zero `dosDateTime` (date
// in the high word, time in the low word, local time) becomes the file's
// last-write time once everything was written.
bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosDateTime, bool append);
// The same, telling whether a file was at the path before. The file is opened
// or created with one call, as asking first costs a second look-up of the
// name (expensive in large folders under Wine).
bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosDateTime, bool append,
                   bool& existed);

// Deletes the folder with everything inside. True when it existed before and
// is gone after the call. `clearAttributes` deletes read-only files too.
bool DeleteTree(const std::string& folder, bool clearAttributes);

// Deletes every file matching the mask (folder + wildcard name). True when at
// least one file matched. Errors on single files are ignored.
bool DeleteFilesByMask(const std::string& mask, bool clearAttributes);

// Ejects the medium of the path's drive when that drive is a CD-ROM drive.
// True when the eject request succeeded.
bool EjectCD(const std::string& path);

// Free bytes available to the caller on the path's drive, -1 on failure.
double DiskFreeBytes(const std::string& path);

// Up to `maxLength` bytes (0: all) of the file from `start`; empty when the
// file is missing, `start` is outside it or fewer bytes could be read.
// Trimmed of blanks with `trim`.
void ReadFilePart(const std::string& file, int64_t maxLength, bool trim, std::string& text, int64_t start = 0);

// Size from the directory entry of the first match of the name; 0 when none.
int64_t FileSize64(const std::string& file);

// True when the path names an existing file (not a folder), or folder.
bool FileExistsX(const std::string& path);
bool FolderExistsX(const std::string& path);

// Creates the folder and all its missing parents; true when it exists after.
bool ForceFolders(const std::string& folder);

// Searches the tree below `folder` for a file (or a folder) of that name,
// depth first, serving the message queue between entries. True with `path`
// set at the first hit; false with `path` empty otherwise.
bool FindFileInTree(const std::string& folder, const std::string& name, std::string& path);
bool FindFolderInTree(const std::string& folder, const std::string& name, std::string& path);

// FindFolderInTree over the drives C: to Z: whose GetDriveType is
// `driveType`; a full path ("X:\...") is found when its drive has the type
// and the folder exists.
bool FindFolderOnDrives(const std::string& text, unsigned driveType, std::string& path);

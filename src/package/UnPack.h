// UnPack: the extraction of a package's file entries into a folder, across
// volume files and disks.
//
// The extraction itself is portable: it reads the volumes through the
// package reader (PackX, PackEntry) and reaches the platform only through a
// TExtractSystem, which writes the files, answers whether they exist, serves
// the message queue and shows the prompts. The stub's Win32 system is in
// UnPackWin.h; the tests give their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "package/PackFile.h"
#include "package/ZLibOpen.h"  // InflateYieldFn
#include "sys/LProgBar.h"

// What the extraction needs from the platform.
class TExtractSystem {
public:
    virtual ~TExtractSystem() = default;

    // Serves the message queue once (no sleep); called between entries, after
    // every read piece and at every growth of the inflate buffer.
    virtual InflateYieldFn QueuePump() = 0;
    // Keeps the windows alive for ms milliseconds.
    virtual void WaitPumping(unsigned ms) = 0;
    virtual uint64_t TickCount() = 0;
    virtual uint32_t ProcessId() = 0;

    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Creates the folder with all its missing parents; true when it exists after.
    virtual bool ForceFolders(const std::string& folder) = 0;
    // Files' WriteDataFile: true when every byte was written; existed tells
    // whether a file was at the path before (asked in the same open, so that
    // a new file costs one look-up of its name).
    virtual bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosTime, bool append,
                               bool& existed) = 0;
    virtual int64_t FileSize(const std::string& path) = 0;
    virtual double DiskFreeBytes(const std::string& path) = 0;
    // Last-write time of the file as an MS-DOS date-time (0 when unknown).
    virtual uint32_t FileDosTime(const std::string& path) = 0;
    // The system's text for the last error of the thread.
    virtual std::string SysErrorText() = 0;

    // Before a disk prompt: inserted discs must not start their autoplay.
    virtual void RegisterAutoPlayCancel() = 0;
    virtual void EjectCD(const std::string& path) = 0;
    // The next-volume prompt (MsgBoxOkCancel); true for OK.
    virtual bool AskOkCancel(const std::string& text, const std::string& caption, uint8_t charset,
                             const std::string& buttons) = 0;
    // MsgBoxError with an empty caption, character set 0 and default buttons.
    virtual void ShowError(const std::string& text) = 0;
};

// The arguments of ExtractPackage that go in.
struct TExtractArgs {
    std::string SourcePath;    // the first volume
    std::string DestDir;       // created with its parents
    std::string AgentName;     // file name of the fresh agent copy; empty for none
    TProgressProc Progress;    // may be empty
    std::string DiskPrompt;    // with "<DISK_NUM>"
    std::string PromptCaption;
    std::string ButtonTexts;
    uint8_t Charset = 0;
    bool AlwaysPrompt = false;  // ask for every further volume, present or not
};

// Extracts the package. ChecksumOK is false when a volume failed its checksum
// or the package turned out to be damaged (an entry whose length is invalid,
// runs past the package end or was cut short; a corrupt zlib stream; an entry
// above the bound of PackEntry.h or inflating past the package's declared
// size of all files): the extraction stops there, nothing of that entry is
// written, and LaunchRecord is empty. The files written before stay (the
// caller removes the folder). LaunchRecord is the entry name that carried
// "*" (empty after a cancelled disk prompt).
//
// Entry names that could write outside DestDir (absolute, drive, UNC, "..",
// a device name) are never written: such an entry is skipped and counted as
// a save error. A name ending in "\" with no data declares a folder, which is
// created inside DestDir.
void ExtractPackage(const TExtractArgs& args, TExtractSystem& system, bool& ChecksumOK, std::string& LaunchRecord);

// Fills buffer (already sized to the count wanted) from offset, in reads of
// at most 65,536 bytes, serving the queue after each. Returns the count when
// all bytes were read, 0 for an empty buffer, -1 when a read failed or came
// back empty.
int64_t ReadChunked(TPackSource& file, int64_t offset, std::string& buffer, InflateYieldFn pump);

// The prompt for volume number: every "<DISK_NUM>" (any case) replaced by the
// number without padding.
std::string DiskPromptText(const std::string& prompt, int volume);

// True when SourcePath leads to an agent copy: it ends in ".exe" or
// ".exe.001" (any case).
bool SourceCarriesStub(const std::string& sourcePath);

// The files that could not be saved in this process; only the first one is
// reported to the user. Never reset by the extraction; tests set it back.
int SaveErrorCount();
void ResetSaveErrorCount();

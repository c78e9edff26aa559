// UnPack on Windows: TWinExtractSystem over Files, UtilsWin and the dialogs.
#include "package/UnPackWin.h"

#include <windows.h>

#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/PrivateFolder.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

// The extraction offers to serve the queue before every entry, after every
// read piece and at every growth of the inflate buffer: with small files,
// thousands of times a second. Each service costs a round trip to the
// window system (under Wine to its server, tens of microseconds on a busy
// machine), together more than the extraction itself. The window stays as
// alive when the queue is served at most every few milliseconds.
constexpr DWORD kPumpIntervalMs = 10;

void PumpWhenDue()
{
    static DWORD last = 0;
    if (::GetTickCount() - last < kPumpIntervalMs) return;
    YieldX(0);
    last = ::GetTickCount();
}

}  // namespace

InflateYieldFn TWinExtractSystem::QueuePump() { return PumpWhenDue; }
void TWinExtractSystem::WaitPumping(unsigned ms) { ::WaitPumping(0, ms); }
uint64_t TWinExtractSystem::TickCount() { return static_cast<uint64_t>(MillisecondCounter()); }
uint32_t TWinExtractSystem::ProcessId() { return ::GetCurrentProcessId(); }
bool TWinExtractSystem::FileExists(const std::string& path) { return FileExistsX(path); }
bool TWinExtractSystem::FolderExists(const std::string& path) { return FolderExistsX(path); }
bool TWinExtractSystem::FolderInsideRoot(const std::string& folder)
{
    if (Root.empty() || folder == CleanFolder) return true;
    if (PathCrossesReparsePoint(Root, folder)) {
        Trace(Cat({"ExtractPackage: a link on the way to ", folder, " is not followed"}));
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    CleanFolder = folder;
    return true;
}

bool TWinExtractSystem::ForceFolders(const std::string& folder)
{
    // The extraction folder itself is checked when the first entry lands in it.
    if (!Root.empty() && folder != Root && !FolderInsideRoot(FolderPart(folder))) return false;
    return ::ForceFolders(folder) && (Root.empty() || folder == Root || FolderInsideRoot(folder));
}

bool TWinExtractSystem::WriteDataFile(const std::string& path, std::string_view data, uint32_t dosTime, bool append,
                                      bool& existed)
{
    if (!FolderInsideRoot(FolderPart(path))) {
        existed = false;
        return false;
    }
    return ::WriteDataFile(path, data, dosTime, append, existed);
}

int64_t TWinExtractSystem::FileSize(const std::string& path) { return FileSize64(path); }
double TWinExtractSystem::DiskFreeBytes(const std::string& path) { return ::DiskFreeBytes(path); }

uint32_t TWinExtractSystem::FileDosTime(const std::string& path)
{
    FileHandle file(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME written{}, local{};
    WORD date = 0, time = 0;
    if (!file || !::GetFileTime(file.Get(), nullptr, nullptr, &written) ||
        !::FileTimeToLocalFileTime(&written, &local) || !::FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<uint32_t>(date) << 16) | time;
}

std::string TWinExtractSystem::SysErrorText() { return ::SysErrorText(); }
void TWinExtractSystem::RegisterAutoPlayCancel() { ::RegisterAutoPlayCancel(true); }
void TWinExtractSystem::EjectCD(const std::string& path) { ::EjectCD(path); }

bool TWinExtractSystem::AskOkCancel(const std::string& text, const std::string& caption, uint8_t charset,
                                    const std::string& buttons)
{
    if (Dialogs.OkCancel) return Dialogs.OkCancel(text, caption, charset, buttons);
    Trace(Cat({"ExtractPackage: no prompt to ask \"", text, "\"; taken as Cancel"}));
    return false;
}

void TWinExtractSystem::ShowError(const std::string& text)
{
    if (Dialogs.Error)
        Dialogs.Error(text);
    else
        Trace("ExtractPackage: " + text);
}

void ExtractPackage(const std::string& SourcePath, const std::string& DestDir, const std::string& AgentName,
                    bool& ChecksumOK, TProgressProc Progress, const std::string& DiskPrompt,
                    const std::string& PromptCaption, const std::string& ButtonTexts, uint8_t Charset,
                    bool AlwaysPrompt, std::string& LaunchRecord, const TExtractDialogs& dialogs)
{
    TExtractArgs args;
    args.SourcePath = SourcePath;
    args.DestDir = DestDir;
    args.AgentName = AgentName;
    args.Progress = std::move(Progress);
    args.DiskPrompt = DiskPrompt;
    args.PromptCaption = PromptCaption;
    args.ButtonTexts = ButtonTexts;
    args.Charset = Charset;
    args.AlwaysPrompt = AlwaysPrompt;
    TWinExtractSystem system(dialogs, DestDir);
    ExtractPackage(args, system, ChecksumOK, LaunchRecord);
}

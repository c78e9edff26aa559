// UnPack on Windows: the extraction's system made of the Files routines, the
// message pump and the message boxes, and ExtractPackage with the arguments
// the setup run passes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "package/UnPack.h"

// The two message boxes of the extraction, wired in by the caller (the
// stub's MsgBoxOkCancel and MsgBoxError). Unset, a prompt counts as Cancel
// and an error is only traced.
struct TExtractDialogs {
    std::function<bool(const std::string& text, const std::string& caption, uint8_t charset,
                       const std::string& buttons)>
        OkCancel;
    std::function<void(const std::string& text)> Error;
};

class TWinExtractSystem : public TExtractSystem {
public:
    explicit TWinExtractSystem(TExtractDialogs dialogs, std::string root = "")
        : Dialogs(std::move(dialogs)), Root(std::move(root))
    {
    }

    InflateYieldFn QueuePump() override;
    void WaitPumping(unsigned ms) override;
    uint64_t TickCount() override;
    uint32_t ProcessId() override;
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    bool ForceFolders(const std::string& folder) override;
    bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosTime, bool append,
                       bool& existed) override;
    int64_t FileSize(const std::string& path) override;
    double DiskFreeBytes(const std::string& path) override;
    uint32_t FileDosTime(const std::string& path) override;
    std::string SysErrorText() override;
    void RegisterAutoPlayCancel() override;
    void EjectCD(const std::string& path) override;
    bool AskOkCancel(const std::string& text, const std::string& caption, uint8_t charset,
                     const std::string& buttons) override;
    void ShowError(const std::string& text) override;

private:
    // False when the folder lies on a reparse point below Root: what is
    // written must stay inside the extraction folder. The entries of one
    // folder come one after another, so the last folder found clean is kept.
    bool FolderInsideRoot(const std::string& folder);

    TExtractDialogs Dialogs;
    std::string Root;  // the extraction folder; empty: no check
    std::string CleanFolder;
};

void ExtractPackage(const std::string& SourcePath, const std::string& DestDir, const std::string& AgentName,
                    bool& ChecksumOK, TProgressProc Progress, const std::string& DiskPrompt,
                    const std::string& PromptCaption, const std::string& ButtonTexts, uint8_t Charset,
                    bool AlwaysPrompt, std::string& LaunchRecord, const TExtractDialogs& dialogs);

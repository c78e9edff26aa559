// The update cycle's system on Windows: message boxes, the main window lent
// by the stub, files, WinINet, the process services and the setup run.
#include "agent/AgentSystemWin.h"

#include "agent/AgentHash.h"
#include "agent/AgentNoticeWin.h"
#include "agent/AgentRules.h"
#include "agent/AgentRunLog.h"
#include "agent/AgentSettingsWin.h"
#include "agent/AgentWindow.h"
#include "net/InetHTTP.h"
#include "package/PackX.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/PrivateFolder.h"
#include "sys/Sha256Win.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/ProcessViewer.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"
#include "text/Common.h"
#include "ui/LMsgBox.h"
#include "sys/LProgBar.h"

namespace {

class TWinAUSystem : public TAUSystem {
public:
    TWinAUSystem(const TGFileInfo& package, TAgentWindow& window) : package_(package), window_(window) {}

    void Trace(const std::string& line) override { ::Trace(line); }
    void RunLog(const std::string& line) override { RunLogLine(line); }
    void Notify(int code, int value) override { NotifyListener(code, value); }
    uint32_t ProcessId() override { return GetCurrentProcessId(); }

    void ErrorBox(intptr_t owner, const std::string& text) override
    {
        TAgentSettings& s = AgentSettings();
        MsgBoxError(owner, text, s.ErrorCaption(), s.BtnText(), s.CharSet());
    }
    void WarnBox(intptr_t owner, const std::string& text) override
    {
        TAgentSettings& s = AgentSettings();
        MsgBoxAttention(owner, text, s.AttentionCaption(), s.BtnText(), s.CharSet(), 0);
    }
    bool Ask(intptr_t owner, const std::string& text) override
    {
        TAgentSettings& s = AgentSettings();
        return MsgBoxConfirm(owner, text, s.ConfirmCaption(), s.BtnText(), s.CharSet(), 0);
    }
    void SetBoxFont(const std::string& face, int size, int charset) override { SetMsgBoxFont(face, size, charset); }
    void Wait(uint32_t ms) override { WaitPumping(0, ms); }
    void ShowMain(bool show) override { window_.Show(show); }
    void StatusText(const std::string& text) override
    {
        TAgentSettings& s = AgentSettings();
        window_.SetStatusText(text, s.FontName(), s.CharSet(), s.FontSize());
    }
    void Progress(int kind, int max, int position, int step) override { window_.Progress(kind, max, position, step); }
    bool DevTestMode() override { return ::DevTestMode(); }

    std::string OwnFolder() override { return ::OwnFolder(true); }
    bool FileExists(const std::string& path) override { return FileExistsX(path); }
    int64_t FileSize(const std::string& path) override { return FileSize64(path); }
    std::string ReadText(const std::string& path, int64_t maxLength) override
    {
        std::string text;
        ReadFilePart(path, maxLength, false, text);
        return text;
    }
    bool WriteText(const std::string& path, const std::string& data) override
    {
        return WriteDataFile(path, data, 0, false);
    }
    bool CopyFileTo(const std::string& from, const std::string& to, std::string& error) override
    {
        if (CopyFileA(from.c_str(), to.c_str(), TRUE)) return true;  // TRUE: never over a file
        error = SysErrorText();
        return false;
    }
    std::string NewDownloadFolder() override
    {
        const std::string folder = CreateNumberedPrivateFolder(TempFolder(true) + "AU_", GetTickCount());
        return folder.empty() ? folder : folder + "\\";
    }
    void RemoveDownloadFolder(const std::string& folder) override { DeleteTree(folder, true); }
    std::string FileSHA256(const std::string& path) override { return FileSHA256Hex(path); }
    void HoldFile(const std::string& path) override
    {
        held_.Reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    void ReleaseFile() override { held_.Reset(); }
    std::string PackageToken(const std::string& path) override { return TGFileInfo(path).IdentityToken(false); }

    std::string UpdateLocation() override { return package_.UpdateLocation(); }
    std::string AgentFileName() override { return package_.AgentFileName(); }
    std::string OwnToken() override { return package_.IdentityToken(false); }
    std::string UpdateKey() override { return package_.UpdateKey(); }
    bool VerifySignature(const std::string& keyHex, const std::string& data, const std::string& signature,
                         std::string& error) override
    {
        const std::string key = HexBytes(keyHex);
        if (key.empty()) {
            error = "the update key cannot be read";
            return false;
        }
        return VerifySha256Signature(key, data, signature, error);
    }

    bool InternetConnected() override { return ::InternetConnected(); }
    bool InternetConnectedEx(std::string& error) override { return ::InternetConnectedEx(error); }
    int64_t HttpFileSize(const std::string& url) override { return HTTP_GetFileSize(url); }
    HWND DownloadWindow(bool window) { return window ? window_.Handle() : nullptr; }
    void DownloadText(bool window, const std::string& url, std::string& content, std::string& message) override
    {
        // Refused when it grows beyond the cap or still trickles in after
        // the time limit: the bar the download steps cancels it.
        bool refused = false;
        TProgBar* self = nullptr;
        const DWORD start = GetTickCount();
        TProgBar bar([&](int kind, int, int max, int position, int step, const std::string&) {
            window_.Progress(kind, max, position, step);
            const int64_t received = static_cast<int64_t>(content.size());
            if (kind == kProgressAdvance && TextDownloadOverLimit(received, start, GetTickCount())) {
                refused = true;
                if (self) self->Cancelled = true;
            }
        });
        self = &bar;
        // A body that is not complete always says why, but for the cancel
        // through the bar.
        HTTP_DownloadFile(DownloadWindow(window), url, "", content, &bar, message);
        if ((refused || static_cast<int64_t>(content.size()) > kMaxAUTextFileSize) && message.empty())
            message = url + " --- refused: too large or too slow";
        if (!message.empty()) content.clear();
    }
    void DownloadFile(bool window, const std::string& url, const std::string& target, int64_t maxSize,
                      std::string& message) override
    {
        TProgBar bar([this](int kind, int, int max, int position, int step, const std::string&) {
            window_.Progress(kind, max, position, step);
        });
        std::string memory;
        TDownloadLimit limit;
        limit.maxSize = static_cast<uint64_t>(maxSize);
        limit.needLength = true;
        if (!HTTP_DownloadFile(DownloadWindow(window), url, target, memory, &bar, message, limit) && message.empty())
            message = url + " --- Download incomplete";
    }
    void SetDownloadAbort(bool abort) override { ::SetDownloadAbort(abort); }
    bool DownloadAborted() override { return DownloadAbortRequested(); }

    std::string ExpandProductPath(const std::string& path, const std::string& target, const std::string& shared,
                                  const std::string& auxiliary) override
    {
        SetInstallFolders(target, shared, auxiliary);
        return ExpandPlaceholders(path, "\\", true, true);
    }
    bool ProgramRunning(const std::string& path) override { return IsProgramRunning(path); }
    void CloseProgram(const std::string& path) override { ::CloseProgram(path, true, 0); }
    void QuitProgram(const std::string& path) override { ::QuitProgram(path, true); }
    void TerminateProgram(const std::string& path) override { ::TerminateProgram(path, true); }
    void WaitWhileRunning(const std::string& path) override { ::WaitWhileRunning(path, 0); }
    bool StartProgram(const std::string& path, const std::string& args, bool shown) override
    {
        // Never a wait for the program to become idle: the plain agent sits
        // in its /WAIT= before it reads a message. The path is the
        // application itself, never searched for.
        if (!IsAbsoluteProgramPath(path) || !FileExistsX(path)) {
            ::TracePid({" not started (no program at a full path): >", path, "<"});
            return false;
        }
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(shown ? SW_SHOW : SW_HIDE);
        PROCESS_INFORMATION pi = {};
        std::string line = QuotedCommandLine(path, args);
        if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ::TracePid({" start failed: ", path, " ", SysErrorText()});
            return false;
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    }

    bool RunSetup(const std::string& setupPath, bool foreground, const std::string& params) override
    {
        return window_.RunSetup(setupPath, foreground, params);
    }
    bool ShowInform(const std::string& title, const std::string& button, int charset, int fontSize,
                    const std::string& fontFace, int height, int width, const std::string& address,
                    const std::string& body) override
    {
        return ::ShowInform(window_.Handle(), title, button, charset, fontSize, fontFace, height, width, address, body);
    }
    void DestroyMain() override
    {
        if (HWND w = window_.Handle()) PostMessageA(w, WM_DESTROY, 0, 0);
    }
    void PostQuit() override { PostQuitMessage(0); }

private:
    const TGFileInfo& package_;
    TAgentWindow& window_;
    FileHandle held_;
};

}  // namespace

std::unique_ptr<TAUSystem> MakeWinAUSystem(const TGFileInfo& package, TAgentWindow& window)
{
    return std::make_unique<TWinAUSystem>(package, window);
}

// What the update cycle runs on: the debug trace and the run log, the user,
// files, HTTP, processes and the setup run. The Win32 system is
// AgentSystemWin; the unit tests walk the whole cycle on a fake one.
#pragma once

#include <cstdint>
#include <string>

class TAgentSettings;
struct TAgentState;

class TAUSystem {
public:
    virtual ~TAUSystem() = default;

    // Channels: the debug trace, the run log, the outside listener.
    virtual void Trace(const std::string& line) = 0;
    virtual void RunLog(const std::string& line) = 0;
    // A fixed text: one string made here, not one at every call.
    void RunLog(const char* line) { RunLog(std::string(line)); }
    virtual void Notify(int code, int value) = 0;
    virtual uint32_t ProcessId() = 0;

    // The user: boxes (owner mode as the message box takes it), waits that
    // keep the windows alive, the agent's main window and its status line.
    virtual void ErrorBox(intptr_t owner, const std::string& text) = 0;
    virtual void WarnBox(intptr_t owner, const std::string& text) = 0;
    virtual bool Ask(intptr_t owner, const std::string& text) = 0;
    virtual void SetBoxFont(const std::string& face, int size, int charset) = 0;
    virtual void Wait(uint32_t ms) = 0;
    virtual void ShowMain(bool show) = 0;
    virtual void StatusText(const std::string& text) = 0;
    virtual void Progress(int kind, int max, int position, int step) = 0;
    virtual bool DevTestMode() = 0;

    // Files.
    virtual std::string OwnFolder() = 0;  // with trailing backslash
    virtual bool FileExists(const std::string& path) = 0;
    virtual int64_t FileSize(const std::string& path) = 0;
    // Up to maxLength bytes (the whole file when shorter); "" when unreadable.
    virtual std::string ReadText(const std::string& path, int64_t maxLength) = 0;
    virtual bool WriteText(const std::string& path, const std::string& data) = 0;
    // Never over an existing file: false (with the reason) when `to` exists.
    virtual bool CopyFileTo(const std::string& from, const std::string& to, std::string& error) = 0;
    // A folder of its own for one download, created new (never one that
    // exists), with a trailing backslash; "" when none could be made. What
    // the server sends lands there, so that no name it gives can reach a
    // file that this download did not create.
    virtual std::string NewDownloadFolder() = 0;
    // Deletes that folder with what the download put in it.
    virtual void RemoveDownloadFolder(const std::string& folder) = 0;
    virtual std::string FileSHA256(const std::string& path) = 0;
    // Keeps the file open so that nobody can change or replace it (reading
    // stays allowed) from its check until its setup has run; one at a time.
    virtual void HoldFile(const std::string& path) = 0;
    virtual void ReleaseFile() = 0;
    // The identity token (as stored, scrambled) of a package file.
    virtual std::string PackageToken(const std::string& path) = 0;
    // True when `signature` is the signature of `data` by the update key
    // (the hex the package carries); otherwise false with the reason. A
    // signature the system cannot check is no signature.
    virtual bool VerifySignature(const std::string& keyHex, const std::string& data, const std::string& signature,
                                 std::string& error) = 0;

    // The running package.
    virtual std::string UpdateLocation() = 0;
    virtual std::string AgentFileName() = 0;
    virtual std::string OwnToken() = 0;  // as stored, scrambled
    // The update key pinned in the package: hex of its DER public key, ""
    // for an agent that carries none (and then takes unsigned INFO files).
    virtual std::string UpdateKey() = 0;

    // HTTP. A text download goes to memory and is bounded in size and time
    // (kMaxAUTextFileSize, kMaxAUTextDownloadMs); a file download goes to
    // the target, must announce its length and may bring at most maxSize
    // bytes. `message` is empty exactly when the whole body of a response
    // with a success status arrived (an error status, a body cut short, a
    // refusal and an abort all say why), and only then does `content` or
    // the target hold anything. `window` asks for the download's window.
    virtual bool InternetConnected() = 0;
    virtual bool InternetConnectedEx(std::string& error) = 0;
    virtual int64_t HttpFileSize(const std::string& url) = 0;  // -1 unknown
    virtual void DownloadText(bool window, const std::string& url, std::string& content, std::string& message) = 0;
    virtual void DownloadFile(bool window, const std::string& url, const std::string& target, int64_t maxSize,
                              std::string& message) = 0;
    virtual void SetDownloadAbort(bool abort) = 0;
    virtual bool DownloadAborted() = 0;

    // Processes: by file name (running) and full path (the stop methods).
    virtual std::string ExpandProductPath(const std::string& path, const std::string& target,
                                          const std::string& shared, const std::string& auxiliary) = 0;
    virtual bool ProgramRunning(const std::string& path) = 0;
    virtual void CloseProgram(const std::string& path) = 0;
    virtual void QuitProgram(const std::string& path) = 0;
    virtual void TerminateProgram(const std::string& path) = 0;
    virtual void WaitWhileRunning(const std::string& path) = 0;  // about a second at most
    // Starts the program at a full path (never searched for), without
    // waiting for anything; false when it was not started.
    virtual bool StartProgram(const std::string& path, const std::string& args, bool shown) = 0;

    // The setup run of a package (extraction, engine, wait); true when the
    // engine signalled success.
    virtual bool RunSetup(const std::string& setupPath, bool foreground, const std::string& params) = 0;
    // Notice window (or the address opened directly); true when shown.
    virtual bool ShowInform(const std::string& title, const std::string& button, int charset, int fontSize,
                            const std::string& fontFace, int height, int width, const std::string& address,
                            const std::string& body) = 0;
    // Ends the agent: WM_DESTROY to its window, or the quit message.
    virtual void DestroyMain() = 0;
    virtual void PostQuit() = 0;

    // The process id as the trace's lines begin with it, and a trace line
    // that marks a step of a routine ("<pid> ==== routine-n ====").
    std::string Pid();
    void Marker(const char* routine, int n);
};

// The resident agent as its steps take it: the system it runs on, its
// settings and its state, passed to every step.
struct TAgent {
    TAUSystem& sys;
    TAgentSettings& s;
    TAgentState& st;
};

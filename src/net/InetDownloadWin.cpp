// InetHTTP: the download routine. The body goes piece by piece into a
// temporary file beside the target (or into memory); only a file that holds
// exactly the announced size replaces the target.

#include "net/CommUtils.h"
#include "net/DownloadLoop.h"
#include "net/HttpUrl.h"
#include "net/InetHTTP.h"
#include "net/InetLoaderWin.h"
#include "sys/Files.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

// The most a download into memory may hold (the readers of packages keep the
// same bound for one entry).
constexpr size_t kMaxMemoryDownload = 64u << 20;

// The platform under the piece loop: WinINet reads, the temporary file (kept
// open for the whole transfer) or the memory buffer, and the message pump.
class TWinInetIo : public TDownloadIo {
public:
    TWinInetIo(HINTERNET request, std::string tempFile, std::string& memory)
        : request_(request), tempFile_(std::move(tempFile)), memory_(memory)
    {
    }

    void ServeQueue() override { YieldX(0); }

    bool ReadPiece(char* buffer, uint32_t want, uint32_t& got) override
    {
        DWORD n = 0;
        if (LInternetReadFile(request_, buffer, want, &n)) {
            got = n;
            return true;
        }
        got = 0;
        reason_ = SysErrorText();
        if (reason_.empty()) reason_ = HTTP_LastResponseText();
        return false;
    }

    bool Store(const char* data, uint32_t n) override
    {
        if (tempFile_.empty()) {
            // A download into memory holds a small text (an INFO file): a
            // server that sends more is refused before memory runs out.
            if (n > kMaxMemoryDownload - memory_.size()) {
                reason_ = Cat({"more than ", IntText(kMaxMemoryDownload), " bytes for a download into memory"});
                return false;
            }
            memory_.append(data, n);
            return true;
        }
        if (!file_) {
            // A new file of this download, held open to the end: the leftovers
            // of earlier attempts are gone, so a file of that name now was
            // planted by someone else, and neither it nor whatever it links
            // to is ours to append to.
            file_.Reset(::CreateFileA(tempFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file_) {
                reason_ = SysErrorText();
                file_.Reset();
                return false;
            }
        }
        DWORD written = 0;
        if (!::WriteFile(file_.Get(), data, n, &written, nullptr) || written != n) {
            reason_ = SysErrorText();
            return false;
        }
        return true;
    }

    bool AbortRequested() override { return DownloadAbortRequested(); }
    std::string FailureReason() override { return reason_; }

    void CloseFile() { file_.Reset(); }

private:
    HINTERNET request_;
    std::string tempFile_;
    std::string& memory_;
    FileHandle file_;
    std::string reason_;
};

// Deletes the temporary files that earlier attempts left beside the target.
void DeleteLeftovers(const std::string& localFile)
{
    const std::string name = NamePart(localFile);
    const std::string folder = localFile.substr(0, localFile.size() - name.size());
    WIN32_FIND_DATAA fd;
    FindHandle find(::FindFirstFileA((localFile + ".*").c_str(), &fd));
    if (!find) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsDownloadLeftover(name, fd.cFileName))
            ::DeleteFileA((folder + fd.cFileName).c_str());
    } while (::FindNextFileA(find.Get(), &fd));
}

uint32_t TickNow() { return static_cast<uint32_t>(::GetTickCount()); }

// True when the target (or the memory buffer) holds the whole body.
bool Download(HWND window, const std::string& url, const std::string& localFile, const std::string& userName,
              const std::string& password, const TDownloadLimit& limit, std::string& memory, TProgBar* bar,
              std::string& message, const std::string& displayName)
{
    HTTP_WarmUp(url);

    InetHandle session(LInternetOpenA(kAgentDownload, INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0));
    if (!session) {
        message = "Unable to initialize \"WinINet.dll\"";
        return false;
    }
    HTTP_SetTimeouts(session.Get(), kDownloadTimeoutMs);
    THttpRequest request = HTTP_OpenUrl(session.Get(), url, userName, password);
    if (!request) {
        message = "Unable to open Internet Connection: " + url;
        return false;
    }

    const uint32_t size = HTTP_QuerySize(request.Get());
    const uint32_t date = HTTP_QueryDate(request.Get());
    const uint32_t status = HTTP_QueryStatus(request.Get());
    if (size == 0) {
        message = url + " --- File Not Found !";
        return false;
    }
    message = DownloadRefusal(limit, size, displayName);
    if (!message.empty()) return false;

    if (reinterpret_cast<uintptr_t>(window) > 10) ::ShowWindow(window, SW_SHOW);

    std::string tempFile;
    if (!localFile.empty()) {
        tempFile = DownloadTempName(localFile, size, date);
        DeleteLeftovers(localFile);
    }

    if (bar) bar->Start(1, DownloadProgressMax(size));
    TBytesRate rate(size > 102400, size > 10485760, TickNow);
    if (bar) bar->Caption(displayName);

    TWinInetIo io(request.Get(), tempFile, memory);
    const uint64_t received = ReceivePieces(io, size, displayName, bar, rate, message);
    io.CloseFile();

    if (DownloadAbortRequested()) message = "Download Aborted";
    const bool cancelled = bar && bar->Cancelled;
    // Into a file, the temporary file is new and was held without write
    // sharing: it holds exactly the bytes received.
    TDownloadEnd end = DecideDownloadEnd(status, size, received, message, cancelled, displayName);
    if (IsHttpErrorStatus(status) && end.message.empty()) {
        // The server's error page: the same message as for a page found in
        // place of the file, but the page never becomes the file.
        Make404Message(tempFile, memory, url, Cat({url, " --- HTTP status ", IntText(status)}), false,
                       end.message);
    }
    message = end.message;
    if (tempFile.empty()) {
        // In memory a body without a length ends where the server ends it;
        // the callers that keep texts bound them themselves.
        return end.replaceTarget || (size == kUnknownSize && message.empty() && !cancelled);
    }
    if (end.replaceTarget) {
        if (::MoveFileExA(tempFile.c_str(), localFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            return true;
        // The body arrived but cannot take the target's place: that is
        // no success, whatever the caller finds at the target.
        message = Cat({displayName, " --- Error downloading file (", SysErrorText(), ")"});
    }
    // A part of a file is of no use to anybody; it is not left lying about.
    ::DeleteFileA(tempFile.c_str());
    return false;
}

}  // namespace

bool HTTP_DownloadFile_Incremental(HWND window, const std::string& url, const std::string& localFile,
                                   const std::string& userName, const std::string& password,
                                   std::string& memory, TProgBar* bar, std::string& message,
                                   const TDownloadLimit& limit)
{
    message.clear();
    memory.clear();
    const std::string displayName = UrlDisplayName(url);
    const bool complete =
        Download(window, url, localFile, userName, password, limit, memory, bar, message, displayName);
    if (!message.empty())
        TracePid({" HTTP_DownloadFile_Incremental: ", message});
    return complete;
}

bool HTTP_DownloadFile(HWND window, const std::string& url, const std::string& localFile, std::string& memory,
                       TProgBar* bar, std::string& message, const TDownloadLimit& limit)
{
    return HTTP_DownloadFile_Incremental(window, url, localFile, "", "", memory, bar, message, limit);
}


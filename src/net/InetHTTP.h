// InetHTTP: HTTP over WinINet: the connection test, the size query and the
// download with progress, rate and abort. Win32 only; the decisions that do
// not need WinINet live in HttpUrl, DownloadLoop and CommUtils.
//
// Six WinINet entry points are looked up at first use (a missing library
// shows up as failing calls, never as a fault); the rest are imported.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "net/DownloadLoop.h"
#include "sys/Handles.h"
#include "sys/LProgBar.h"

// Internet handles (sessions, connections, requests), closed through the
// dynamically loaded InternetCloseHandle.
struct InetHandleCloser {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h);
};
using InetHandle = UniqueHandle<InetHandleCloser>;

// An open request. With credentials the request hangs off a connection of
// its own, which must outlive it; members are closed request first.
struct THttpRequest {
    InetHandle connection;
    InetHandle request;
    HINTERNET Get() const { return request.Get(); }
    explicit operator bool() const { return request.Valid(); }
};

// User-Agent names the server sees.
inline constexpr const char* kAgentProbe = "HTTP_Connect_2";     // warm-up and size query
inline constexpr const char* kAgentDownload = "HTTP_Connect_3";  // download
// Every time-out of a download, in milliseconds.
constexpr DWORD kDownloadTimeoutMs = 180000;
// A download always goes to the server, and WinINet keeps no second copy of
// the file in its cache (we write it ourselves).
constexpr DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// True when the system reports an Internet connection; the Ex form gives the
// system's error text when it does not.
bool InternetConnected();
bool InternetConnectedEx(std::string& errorText);

// Opens and closes the URL once with the probe agent; the outcome is ignored.
void HTTP_WarmUp(const std::string& url);

// Connect, receive, send, receive, send, data receive and data send time-outs.
void HTTP_SetTimeouts(HINTERNET session, DWORD ms);

// Opens the URL for a download. Without a user name the URL goes to
// InternetOpenUrl (with "http://" in front when it names no scheme); with one,
// host, port and scheme come from the URL and the credentials go to
// InternetConnect. No request when the URL cannot be opened or sent.
THttpRequest HTTP_OpenUrl(HINTERNET session, const std::string& url, const std::string& userName,
                          const std::string& password);

// Content-Length, or 4294967295 when the response has none.
uint32_t HTTP_QuerySize(HINTERNET request);
// The response's status code, 0 when it cannot be read.
uint32_t HTTP_QueryStatus(HINTERNET request);
// Last-Modified as a packed DOS date and time, 0 when absent or invalid.
uint32_t HTTP_QueryDate(HINTERNET request);
// WinINet's text of the last server response, "" when there is none.
std::string HTTP_LastResponseText();

// Content-Length of the URL (the cache may answer), -1 when unknown.
int32_t HTTP_GetFileSize(const std::string& url);

// Downloads the URL into `localFile` (through a temporary file beside it that
// replaces the target only when the whole body has arrived) or, with an
// empty file name, into `memory`. `window` (when above 10) is shown once the
// transfer starts; `bar` (may be null) is driven with the progress text.
// `message` is empty on success (or a cancel through the bar, or a body of
// unknown length into a file: the target is then unchanged), else the
// failure: a body cut short before its Content-Length is one, and a
// response with an error status never replaces the target (its page gives
// the message); the same holds for `memory`, which then keeps what arrived.
// Whatever did not replace the target is deleted. The result is true only
// when the target (or `memory`) holds the whole body of a response without
// an error status: an empty message alone does not say that a file was
// downloaded. Within a `limit`, a response that announces no length (with
// needLength) or more than maxSize is refused, with a message, before any
// of its body is read.
bool HTTP_DownloadFile_Incremental(HWND window, const std::string& url, const std::string& localFile,
                                   const std::string& userName, const std::string& password,
                                   std::string& memory, TProgBar* bar, std::string& message,
                                   const TDownloadLimit& limit = TDownloadLimit());
bool HTTP_DownloadFile(HWND window, const std::string& url, const std::string& localFile, std::string& memory,
                       TProgBar* bar, std::string& message, const TDownloadLimit& limit = TDownloadLimit());

// The process-wide download abort flag, read after every piece.
void SetDownloadAbort(bool abort);
bool DownloadAbortRequested();

// Frees WinINet; the next call that needs it loads it again.
void HTTP_Unload();

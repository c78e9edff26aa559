// InetHTTP: connection test, sessions, opening a URL, the header queries and
// the size query. The download itself is in InetDownloadWin.cpp.
#include "net/InetHTTP.h"

#include "net/DownloadLoop.h"
#include "net/HttpUrl.h"
#include "net/InetLoaderWin.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

bool gDownloadAbort = false;

// A session with the system's proxy settings.
InetHandle OpenSession(const char* agent)
{
    return InetHandle(LInternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0));
}

}  // namespace

void SetDownloadAbort(bool abort) { gDownloadAbort = abort; }
bool DownloadAbortRequested() { return gDownloadAbort; }

bool InternetConnected()
{
    std::string ignored;
    return InternetConnectedEx(ignored);
}

bool InternetConnectedEx(std::string& errorText)
{
    DWORD flags = 0;
    const bool connected = LInternetGetConnectedState(&flags, 0) != FALSE;
    if (!connected) errorText = SysErrorText();
    return connected;
}

void HTTP_WarmUp(const std::string& url)
{
    InetHandle session = OpenSession(kAgentProbe);
    if (!session) return;
    InetHandle request(LInternetOpenUrlA(session.Get(), UrlWithScheme(url).c_str(), nullptr, 0, 0, 0));
}

void HTTP_SetTimeouts(HINTERNET session, DWORD ms)
{
    static const DWORD kOptions[] = {
        INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
        INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,    INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
        INTERNET_OPTION_DATA_SEND_TIMEOUT,
    };
    for (DWORD option : kOptions) {
        DWORD value = ms;
        LInternetSetOptionA(session, option, &value, sizeof value);
    }
}

THttpRequest HTTP_OpenUrl(HINTERNET session, const std::string& url, const std::string& userName,
                          const std::string& password)
{
    THttpRequest result;
    if (userName.empty()) {
        result.request.Reset(LInternetOpenUrlA(session, UrlWithScheme(url).c_str(), nullptr, 0, kDownloadFlags, 0));
        return result;
    }

    THttpUrlParts parts;
    if (!SplitHttpUrl(url, parts)) {
        Trace("HTTP_OpenUrl: not an http or https URL: " + url);
        return result;
    }
    // An empty password, never a null one: WinINet may read it on a 401.
    result.connection.Reset(LInternetConnectA(session, parts.host.c_str(), parts.port, userName.c_str(),
                                               password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
    if (!result.connection) return result;
    const DWORD flags = kDownloadFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0);
    InetHandle request(LHttpOpenRequestA(result.connection.Get(), "GET", parts.object.c_str(), nullptr, nullptr,
                                          nullptr, flags, 0));
    if (request && LHttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) result.request = std::move(request);
    return result;
}

uint32_t HTTP_QuerySize(HINTERNET request)
{
    DWORD size = kUnknownSize;
    DWORD length = sizeof size;
    LHttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &size, &length, nullptr);
    return size;
}

uint32_t HTTP_QueryStatus(HINTERNET request)
{
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!LHttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr))
        return 0;
    return status;
}

uint32_t HTTP_QueryDate(HINTERNET request)
{
    SYSTEMTIME st{};
    DWORD length = sizeof st;
    if (!LHttpQueryInfoA(request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &st, &length, nullptr))
        return 0;
    return PackDosDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

std::string HTTP_LastResponseText()
{
    std::string text(4096, '\0');
    DWORD error = 0;
    DWORD length = static_cast<DWORD>(text.size());
    if (!LInternetGetLastResponseInfoA(&error, text.data(), &length)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return "";
        text.assign(length + 1, '\0');
        length = static_cast<DWORD>(text.size());
        if (!LInternetGetLastResponseInfoA(&error, text.data(), &length)) return "";
    }
    text.resize(length);
    return text;
}

int32_t HTTP_GetFileSize(const std::string& url)
{
    HTTP_WarmUp(url);
    InetHandle session = OpenSession(kAgentProbe);
    if (!session) return -1;
    int32_t size = -1;
    InetHandle request(LInternetOpenUrlA(session.Get(), UrlWithScheme(url).c_str(), nullptr, 0, 0, 0));
    if (request) {
        size = static_cast<int32_t>(HTTP_QuerySize(request.Get()));
        Trace(Cat({"HTTP_GetFileSize=", IntText(size), "  ", url}));
    }
    return size;
}

// The WinINet entry points, all looked up by name at first use (none is
// imported: a wininet.dll planted beside a package would otherwise be loaded
// at process start, before any code of ours runs). Each
// wrapper loads the library (from the system folder, by full path) when no
// module is loaded yet, resolves its own name once, and calls it; without the
// library or the name it returns 0 and calls nothing.
#include "net/InetLoaderWin.h"

#include "sys/UtilsWin.h"

namespace {

LibraryHandle gWinInet;

decltype(&::InternetGetConnectedState) gGetConnectedState = nullptr;
decltype(&::InternetCloseHandle) gCloseHandle = nullptr;
decltype(&::InternetOpenA) gOpen = nullptr;
decltype(&::InternetOpenUrlA) gOpenUrl = nullptr;
decltype(&::HttpQueryInfoA) gQueryInfo = nullptr;
decltype(&::InternetReadFile) gReadFile = nullptr;
decltype(&::InternetSetOptionA) gSetOption = nullptr;
decltype(&::InternetConnectA) gConnect = nullptr;
decltype(&::HttpOpenRequestA) gOpenRequest = nullptr;
decltype(&::HttpSendRequestA) gSendRequest = nullptr;
decltype(&::InternetGetLastResponseInfoA) gLastResponseInfo = nullptr;

template <typename Fn>
Fn Resolve(Fn& slot, const char* name)
{
    if (slot) return slot;
    if (!gWinInet) {
        // By full path only: a wininet.dll beside a downloaded package must
        // never be the one that gets loaded.
        const std::string folder = SystemFolder(true);
        if (folder.empty()) return nullptr;
        gWinInet.Reset(::LoadLibraryA((folder + "wininet.dll").c_str()));
        if (!gWinInet) return nullptr;
    }
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(gWinInet.Get(), name)));
    return slot;
}

}  // namespace

BOOL LInternetGetConnectedState(LPDWORD flags, DWORD reserved)
{
    auto fn = Resolve(gGetConnectedState, "InternetGetConnectedState");
    return fn ? fn(flags, reserved) : FALSE;
}

BOOL LInternetCloseHandle(HINTERNET handle)
{
    auto fn = Resolve(gCloseHandle, "InternetCloseHandle");
    return fn ? fn(handle) : FALSE;
}

HINTERNET LInternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags)
{
    auto fn = Resolve(gOpen, "InternetOpenA");
    return fn ? fn(agent, accessType, proxy, proxyBypass, flags) : nullptr;
}

HINTERNET LInternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                            DWORD_PTR context)
{
    auto fn = Resolve(gOpenUrl, "InternetOpenUrlA");
    return fn ? fn(session, url, headers, headersLength, flags, context) : nullptr;
}

BOOL LHttpQueryInfoA(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index)
{
    auto fn = Resolve(gQueryInfo, "HttpQueryInfoA");
    return fn ? fn(request, level, buffer, length, index) : FALSE;
}

BOOL LInternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read)
{
    auto fn = Resolve(gReadFile, "InternetReadFile");
    return fn ? fn(file, buffer, toRead, read) : FALSE;
}

BOOL LInternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length)
{
    auto fn = Resolve(gSetOption, "InternetSetOptionA");
    return fn ? fn(handle, option, buffer, length) : FALSE;
}

HINTERNET LInternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                            DWORD service, DWORD flags, DWORD_PTR context)
{
    auto fn = Resolve(gConnect, "InternetConnectA");
    return fn ? fn(session, server, port, user, password, service, flags, context) : nullptr;
}

HINTERNET LHttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                            LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context)
{
    auto fn = Resolve(gOpenRequest, "HttpOpenRequestA");
    return fn ? fn(connection, verb, object, version, referrer, acceptTypes, flags, context) : nullptr;
}

BOOL LHttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength)
{
    auto fn = Resolve(gSendRequest, "HttpSendRequestA");
    return fn ? fn(request, headers, headersLength, optional, optionalLength) : FALSE;
}

BOOL LInternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD length)
{
    auto fn = Resolve(gLastResponseInfo, "InternetGetLastResponseInfoA");
    return fn ? fn(error, buffer, length) : FALSE;
}

bool WinInetLoaded() { return gWinInet.Valid(); }

void HTTP_Unload()
{
    gGetConnectedState = nullptr;
    gCloseHandle = nullptr;
    gOpen = nullptr;
    gOpenUrl = nullptr;
    gQueryInfo = nullptr;
    gReadFile = nullptr;
    gSetOption = nullptr;
    gConnect = nullptr;
    gOpenRequest = nullptr;
    gSendRequest = nullptr;
    gLastResponseInfo = nullptr;
    gWinInet.Reset();
}

void InetHandleCloser::Close(HINTERNET h) { LInternetCloseHandle(h); }

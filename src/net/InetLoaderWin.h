// The wrappers of the WinINet entry points that InetHTTP looks up at first
// use (see InetLoaderWin.cpp). Each behaves as the WinINet function of
// the same name without the "L", and returns 0 / FALSE / nullptr without
// calling anything when the library or the name is missing.
#pragma once

#include "net/InetHTTP.h"

BOOL LInternetGetConnectedState(LPDWORD flags, DWORD reserved);
BOOL LInternetCloseHandle(HINTERNET handle);
HINTERNET LInternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);
HINTERNET LInternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                            DWORD_PTR context);
BOOL LHttpQueryInfoA(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index);
BOOL LInternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL LInternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
HINTERNET LInternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                            DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET LHttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                            LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
BOOL LHttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength);
BOOL LInternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD length);

// True while the library is loaded (between the first use and HTTP_Unload).
bool WinInetLoaded();

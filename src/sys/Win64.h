// 64-bit Windows support. The launcher is a 32-bit program that also runs on
// 64-bit Windows and on old systems without the 64-bit kernel functions, so
// those functions are looked up at run time rather than imported. It also
// makes the process safe against libraries planted beside it: a setup is
// usually started from a downloads folder full of other files.
#pragma once

#include <windows.h>

#include <cstdint>

// A procedure found with GetProcAddress as the function type it really has
// (through the generic function type, which the compiler accepts without a
// warning).
template <typename Fn>
Fn ProcCast(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// The first call of the program's entry, before anything else loads a
// library: restricts the DLL search path to the system folder where the
// system offers it, takes the current folder out of the search path, and
// loads the libraries the launcher needs from the system folder by full path
// (with the open-file error box suppressed during each load). Their handles
// are kept for the life of the process. Later calls do nothing.
void InitWin64();

// A system library by its file name ("version.dll"): the one the process
// already has, else loaded from the system folder by full path and kept for
// the life of the process. Never searched for elsewhere. nullptr when absent.
HMODULE LoadSystemLibrary(const char* name);

// True when InitWin64 could restrict the DLL search path to the system folder
// (SetDefaultDllDirectories is present and succeeded).
bool DllSearchPathRestricted();

// Calls GetNativeSystemInfo when kernel32 exports it. True when present and
// the call did not raise.
bool NativeSystemInfo(SYSTEM_INFO& info);

// Calls IsWow64Process when kernel32 exports it and returns its result; the
// WOW64 flag goes to `wow64`. False when absent or the call raised.
bool IsWow64(HANDLE process, bool& wow64);

// True when kernel32 exports both file-system redirection functions. Only
// their presence is used: the launcher never switches redirection off.
bool HasFsRedirectionControl();

// True on 64-bit Windows (computed once per process).
bool IsWindows64();

// Whether the registry readers use the 64-bit view: 0 (off) in this system.
uint8_t RegistryView64();

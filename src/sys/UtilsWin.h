// Utils, Win32 half: the services that read the system (version resources,
// the OS version, INI files, the registry, user and computer names, folders,
// the clock and the message pump). The decisions taken from what is read
// (version texts, the OS naming table, date formats, registry data texts)
// are portable and live in Utils, OsVersion, DateFormat and RegText.
//
// Services do not throw: a failure gives the documented default and, where
// something was caught, a trace line.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "sys/DateFormat.h"
#include "sys/OsVersion.h"

// ---- Version resources ------------------------------------------------------

// Fixed file version of `file` ("" = this program) as "%d.%d.%d.%d",
// reformatted (ReformatVersion) when width > 1 or parts < 4. Empty when the
// file has no version resource.
std::string GetExeVersion(const std::string& file = "", int width = 1, int parts = 4);

// The "ProductVersion" string of the first translation of `file`'s version
// resource, "," turned into ".", reformatted like GetExeVersion. Empty when
// missing.
std::string GetProductVersion(const std::string& file, int width = 1, int parts = 4);

// ---- Operating system -------------------------------------------------------

// The system's version record (read once): GetVersionEx, with the version of
// kernel32.dll where the system reports 6.2 or later, and IsWindows64 and
// IsServer filled in.
const TOsVersionRecord& OsVersionRecord();

// Version text, name, service pack, build and OS code of this system.
TOsVersionInfo GetOsVersion();

bool IsNT();
bool IsWindowsXP();        // cached
bool IsWindows8OrLater();
// SM_SERVERR2, or the product type of a server or domain controller.
bool IsServer();

// The diagnostics switch: the environment variable DVX holds exactly
// kDevTestCode (read once).
inline constexpr const char* kDevTestCode = "417";
bool DevTestMode();

// ---- INI files (full paths) -------------------------------------------------

// Values above this length are still returned, with a trace line.
constexpr size_t kIniValueWarnLength = 10240;
constexpr DWORD kIniBufferSize = 32769;

// The value, or `def` when section or key is empty, the value is missing or
// empty, or anything fails. Serialised by a critical section of its own.
std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def);
int64_t ReadIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t def);
// False when file, section or key is empty, else the system's answer.
bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
bool WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t value);

// ---- Registry -------------------------------------------------------------

// "HKLM", "HKEY_LOCAL_MACHINE", ... (any case) to the root key; anything
// else is HKEY_CURRENT_USER.
HKEY RegRootFromName(const std::string& name);

struct TRegPath {
    HKEY root = HKEY_CURRENT_USER;
    std::string subkey;
};
// "HKLM\Software\X" -> HKEY_LOCAL_MACHINE, "Software\X"; a path not starting
// with "HK" is a subkey of HKEY_CURRENT_USER.
TRegPath SplitRegPath(const std::string& path);

// A value as text (RegDataText's rules), or `def` when the key or value
// cannot be read. `view64` reads the 64-bit registry view.
std::string RegReadString(const std::string& path, const std::string& valueName, const std::string& def,
                          bool view64);

// The registered owner (default: CurrentUserName) and organisation (default
// empty) of this Windows, trimmed.
std::string RegisteredOwner();
std::string RegisteredOrganization();

// ---- User and computer ------------------------------------------------------

std::string CurrentUserName();   // trimmed, "" on failure
std::string ComputerNameText();  // trimmed, "" on failure
std::string UserDomainName();    // domain of CurrentUserName's account, "" on failure

// ---- Time and waiting -------------------------------------------------------

// Milliseconds of the high-resolution performance counter.
int64_t MillisecondCounter();

// Dispatches every pending message of the calling thread, then sleeps `ms`.
// A WM_QUIT met on the way is posted again, so that the loop that owns the
// thread still sees it.
void YieldX(DWORD ms);

// Keeps the thread's windows alive for `durationMs`: YieldX(step) at least
// once and until the duration has passed. A step of 0 is duration / 10,
// clamped to 1..25.
void WaitPumping(DWORD stepMs, DWORD durationMs);

// ---- Dates in the user's locale ---------------------------------------------

// The local date and time now, and as a day number.
TDateTimeParts LocalNow();
double NowDayNumber();
// The locale's date and time separators (LOCALE_SDATE, LOCALE_STIME).
TLocaleSeparators UserLocaleSeparators();

// A day number, where -1 means now (other values clamped as DateFormat does).
TDateTimeParts DateOrNow(double dayNumber);

// The log formats with "now" for -1 and the user's separators.
std::string FormatDayMonYearLocal(double dayNumber = -1);
std::string FormatDayMonYearTime(const std::string& separator, double dayNumber = -1);
std::string FormatLogStamp(double dayNumber = -1);

// ---- Files ------------------------------------------------------------------

// Appends `text` (and CR LF with `addLineEnd`) to `file`, creating it when
// missing; true when every byte was written. A non-zero `dosDateTime` (date
// in the high word, time in the low word, local time) is then set as the
// file's last-write time.
bool AppendTextToFile(const std::string& file, const std::string& text, bool addLineEnd, uint32_t dosDateTime = 0);

// ---- Folders ----------------------------------------------------------------

std::string SystemFolder(bool trailingSlash);
std::string WindowsFolder(bool trailingSlash);
std::string TempFolder(bool trailingSlash);
std::string OwnPath();                          // this program's full path
std::string OwnFolder(bool trailingSlash = true);

// ---- Miscellaneous ----------------------------------------------------------

// The system's message text for the thread's last error.
std::string SysErrorText();

// Left and top that centre a width x height rectangle in the work area.
POINT CenterInWorkArea(int width, int height);

// Registers the "QueryCancelAutoPlay" window message (on) or forgets it
// (off); AutoPlayCancelMessage gives the registered number, 0 when off.
void RegisterAutoPlayCancel(bool on);
UINT AutoPlayCancelMessage();

std::string WindowText(HWND wnd);       // "" for none
std::string WindowClassName(HWND wnd);  // "" for none
HWND RootOwner(HWND wnd);               // the last owner along the owner links

// The shell's "open" on `file` (with parameters and show command), owned by
// the desktop window; true when the shell reports success.
bool OpenDocument(const std::string& file, const std::string& parameters, int showCommand);

// Loads `library` (kept loaded) and returns the address of `procedure`;
// nullptr when either is missing.
FARPROC ProcedureAddress(const std::string& library, const std::string& procedure);

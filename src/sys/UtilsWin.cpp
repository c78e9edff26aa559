// Utils, Win32 half: clock and message pump, folders, files, dates in the
// user's locale, windows and the remaining small services.
#include "sys/UtilsWin.h"

#include <shellapi.h>

#include <cstring>

#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"

namespace {

// Folder texts from the system calls that fill a buffer of 261 characters.
template <typename Getter>
std::string FolderText(Getter get, bool trailingSlash)
{
    char buf[MAX_PATH + 1];
    const DWORD n = get(buf, static_cast<DWORD>(sizeof buf));
    if (n == 0 || n >= sizeof buf) return "";
    std::string dir(buf, n);
    if (trailingSlash) {
        if (dir.back() != '\\') dir += '\\';
    } else {
        while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();  // keep "C:\"
    }
    return dir;
}

UINT gAutoPlayCancelMessage = 0;

}  // namespace

// ---- Diagnostics ------------------------------------------------------------

bool DevTestMode()
{
    static uint8_t cached = 255;  // 255: not read yet
    if (cached == 255) {
        char buf[8];
        const DWORD n = ::GetEnvironmentVariableA("DVX", buf, sizeof buf);
        cached = (n > 0 && n < sizeof buf && std::string(buf, n) == kDevTestCode) ? 1 : 0;
    }
    return cached == 1;
}

// ---- Time and waiting -------------------------------------------------------

int64_t MillisecondCounter()
{
    static int64_t frequency = 0;  // 0: not read yet
    if (frequency == 0) {
        LARGE_INTEGER f;
        frequency = (::QueryPerformanceFrequency(&f) && f.QuadPart > 0) ? f.QuadPart : 1000;
    }
    LARGE_INTEGER now;
    if (!::QueryPerformanceCounter(&now)) return static_cast<int64_t>(::GetTickCount());
    // In two steps: counter x 1000 would overflow within weeks on systems
    // whose counter runs at the processor's clock.
    const int64_t c = now.QuadPart;
    return (c / frequency) * 1000 + (c % frequency) * 1000 / frequency;
}

void YieldX(DWORD ms)
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: the thread's own loop must still end.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::Sleep(ms);
}

void WaitPumping(DWORD stepMs, DWORD durationMs)
{
    if (stepMs == 0) {
        stepMs = durationMs / 10;
        if (stepMs < 1) stepMs = 1;
        if (stepMs > 25) stepMs = 25;
    }
    const int64_t start = MillisecondCounter();
    do {
        YieldX(stepMs);
    } while (MillisecondCounter() - start < static_cast<int64_t>(durationMs));
}

// ---- Dates in the user's locale ---------------------------------------------

TDateTimeParts LocalNow()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    TDateTimeParts p;
    p.year = st.wYear;
    p.month = st.wMonth;
    p.day = st.wDay;
    p.hour = st.wHour;
    p.minute = st.wMinute;
    p.second = st.wSecond;
    p.millisecond = st.wMilliseconds;
    return p;
}

double NowDayNumber() { return DateTimeToDayNumber(LocalNow()); }

TLocaleSeparators UserLocaleSeparators()
{
    TLocaleSeparators seps;
    char buf[8];
    int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, buf, sizeof buf);
    if (n > 1) seps.date.assign(buf, n - 1);
    n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, buf, sizeof buf);
    if (n > 1) seps.time.assign(buf, n - 1);
    return seps;
}

TDateTimeParts DateOrNow(double dayNumber)
{
    return dayNumber == -1 ? LocalNow() : DayNumberToDateTime(dayNumber);
}

std::string FormatDayMonYearLocal(double dayNumber) { return FormatDayMonYear(DateOrNow(dayNumber)); }

std::string FormatDayMonYearTime(const std::string& separator, double dayNumber)
{
    return FormatDayMonYearTime(separator, DateOrNow(dayNumber), UserLocaleSeparators());
}

std::string FormatLogStamp(double dayNumber) { return FormatLogStamp(DateOrNow(dayNumber), UserLocaleSeparators()); }

// ---- Files ------------------------------------------------------------------

bool AppendTextToFile(const std::string& file, const std::string& text, bool addLineEnd, uint32_t dosDateTime)
{
    FileHandle f(::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    const std::string data = addLineEnd ? text + "\r\n" : text;
    if (::SetFilePointer(f.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(f.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                    written == data.size();
    if (dosDateTime != 0) {
        FILETIME local, utc;
        if (::DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local) &&
            ::LocalFileTimeToFileTime(&local, &utc))
            ::SetFileTime(f.Get(), nullptr, nullptr, &utc);
    }
    return ok;
}

// ---- Folders ----------------------------------------------------------------

std::string SystemFolder(bool trailingSlash)
{
    return FolderText([](char* b, DWORD n) { return static_cast<DWORD>(::GetSystemDirectoryA(b, n)); },
                      trailingSlash);
}

std::string WindowsFolder(bool trailingSlash)
{
    return FolderText([](char* b, DWORD n) { return static_cast<DWORD>(::GetWindowsDirectoryA(b, n)); },
                      trailingSlash);
}

std::string TempFolder(bool trailingSlash)
{
    return FolderText([](char* b, DWORD n) { return ::GetTempPathA(n, b); }, trailingSlash);
}

std::string OwnPath()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "";
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: a long path
        if (path.size() > 32768) return "";
    }
}

std::string OwnFolder(bool trailingSlash)
{
    const std::string folder = FolderPart(OwnPath());
    return trailingSlash && !folder.empty() ? folder + "\\" : folder;
}

// ---- Miscellaneous ----------------------------------------------------------

std::string SysErrorText()
{
    const DWORD code = ::GetLastError();
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (n == 0 || !text) return "Error Reading \"SysUtils.SysErrorMessage(GetLastError)\"";
    std::string result(text, n);
    ::LocalFree(text);
    // The system's texts end in a full stop and a line end.
    while (!result.empty() && (static_cast<unsigned char>(result.back()) <= ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

POINT CenterInWorkArea(int width, int height)
{
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return POINT{CenteredOrigin(area.left, area.right - area.left, width),
                 CenteredOrigin(area.top, area.bottom - area.top, height)};
}

void RegisterAutoPlayCancel(bool on)
{
    gAutoPlayCancelMessage = on ? ::RegisterWindowMessageA("QueryCancelAutoPlay") : 0;
}

UINT AutoPlayCancelMessage() { return gAutoPlayCancelMessage; }

std::string WindowText(HWND wnd)
{
    if (!wnd) return "";
    const int len = ::GetWindowTextLengthA(wnd);
    if (len <= 0) return "";
    std::string text(static_cast<size_t>(len) + 1, '\0');
    const int n = ::GetWindowTextA(wnd, text.data(), len + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

std::string WindowClassName(HWND wnd)
{
    if (!wnd) return "";
    char buf[257];
    const int n = ::GetClassNameA(wnd, buf, sizeof buf);
    return n > 0 ? std::string(buf, n) : "";
}

HWND RootOwner(HWND wnd)
{
    // A bound on the walk: owner links can, in theory, form a loop.
    for (int i = 0; wnd && i < 1000; ++i) {
        HWND owner = ::GetWindow(wnd, GW_OWNER);
        if (!owner) break;
        wnd = owner;
    }
    return wnd;
}

bool OpenDocument(const std::string& file, const std::string& parameters, int showCommand)
{
    HINSTANCE r = ::ShellExecuteA(::GetDesktopWindow(), "open", file.c_str(),
                                  parameters.empty() ? nullptr : parameters.c_str(), nullptr, showCommand);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

FARPROC ProcedureAddress(const std::string& library, const std::string& procedure)
{
    // Kept loaded: the address is only good while the library stays.
    HMODULE h = ::LoadLibraryA(library.c_str());
    if (!h) return nullptr;
    return ::GetProcAddress(h, procedure.c_str());
}

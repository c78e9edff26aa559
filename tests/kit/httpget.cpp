// httpget: drives InetHTTP from the command line for the end-to-end tests and
// the download benchmark, and prints what came out as "key=value" lines.
//
//   httpget get URL LOCAL|- [--user U] [--password P] [--bar] [--window]
//               [--close-after MS] [--memory-out FILE]
//       HTTP_DownloadFile (or the routine with credentials). "-" downloads
//       into memory. --bar drives a TProgBar; --window passes a hidden window
//       that the download shows; --close-after posts WM_CLOSE to that window
//       after MS milliseconds (its handler sets the abort flag, as the
//       start-up window's does). Prints message, memory, steps, max, last,
//       visible, elapsed_ms, transfer_ms (from the bar's start, after the
//       warm-up and the headers, to the end; with --bar only), and page:
//       Make404Message on the local file ("-" when it is no HTML page).
//   httpget size URL           HTTP_GetFileSize: size
//   httpget connected          InternetConnectedEx: connected, error
//   httpget raw URL LOCAL      a bare WinINet loop with 8192-byte reads into a
//                              file, for comparison: bytes, elapsed_ms
//   httpget warmup URL         HTTP_WarmUp alone: elapsed_ms
//   httpget trust CERT.der     adds the certificate to the user's Root store
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/CommUtils.h"
#include "net/InetHTTP.h"
#include "sys/Handles.h"
#include "sys/LDebug.h"
#include "sys/UtilsWin.h"
#include "sys/LProgBar.h"

namespace {

std::string Option(const std::vector<std::string>& args, const std::string& name, const std::string& def = "")
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name) return args[i + 1];
    return def;
}

bool Flag(const std::vector<std::string>& args, const std::string& name)
{
    for (const std::string& a : args)
        if (a == name) return true;
    return false;
}

void Print(const std::string& key, const std::string& value) { std::printf("%s=%s\n", key.c_str(), value.c_str()); }

double Seconds()
{
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        ::KillTimer(wnd, wp);
        ::PostMessageA(wnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        // Like the start-up window: a close request during a download only
        // raises the abort flag.
        SetDownloadAbort(true);
        return 0;
    default:
        return ::DefWindowProcA(wnd, msg, wp, lp);
    }
}

HWND MakeWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumHttpGet";
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, wc.lpszClassName, "httpget", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

int Get(const std::vector<std::string>& args)
{
    const std::string url = args[2];
    const std::string local = args[3] == "-" ? "" : args[3];
    const std::string user = Option(args, "--user");
    const std::string password = Option(args, "--password");
    const int closeAfter = std::atoi(Option(args, "--close-after", "0").c_str());

    HWND window = nullptr;
    if (Flag(args, "--window") || closeAfter > 0) {
        window = MakeWindow();
        if (!window) {
            Print("error", "no window");
            return 1;
        }
        if (closeAfter > 0) ::SetTimer(window, 1, static_cast<UINT>(closeAfter), nullptr);
    }

    int steps = 0, maximum = 0;
    double barStart = 0;
    std::string last;
    TProgBar bar([&](int kind, int, int max, int, int, const std::string& text) {
        if (kind == 0) {
            maximum = max;
            barStart = Seconds();
        }
        if (kind == 1) {
            ++steps;
            last = text;
        }
    });

    SetDownloadAbort(false);
    std::string memory, message;
    const double start = Seconds();
    const bool complete = HTTP_DownloadFile_Incremental(window, url, local, user, password, memory,
                                                        Flag(args, "--bar") ? &bar : nullptr, message);
    const double end = Seconds();
    const double elapsed = end - start;

    Print("message", message);
    Print("complete", complete ? "1" : "0");
    Print("memory", std::to_string(memory.size()));
    Print("steps", std::to_string(steps));
    Print("max", std::to_string(maximum));
    Print("last", last);
    Print("visible", window && ::IsWindowVisible(window) ? "1" : "0");
    Print("elapsed_ms", std::to_string(static_cast<long long>(elapsed * 1000)));
    Print("transfer_ms", barStart > 0 ? std::to_string(static_cast<long long>((end - barStart) * 1000)) : "");
    std::string page;
    Make404Message(local, "", url, "-", false, page);
    Print("page", page);
    const std::string memoryOut = Option(args, "--memory-out");
    if (!memoryOut.empty()) {
        std::FILE* f = std::fopen(memoryOut.c_str(), "wb");
        if (f) {
            std::fwrite(memory.data(), 1, memory.size(), f);
            std::fclose(f);
        }
    }
    if (window) ::DestroyWindow(window);
    HTTP_Unload();
    return 0;
}

int Raw(const std::vector<std::string>& args)
{
    const double start = Seconds();
    InetHandle session(::InternetOpenA("HTTP_Raw", INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0));
    InetHandle request(session ? ::InternetOpenUrlA(session.Get(), args[2].c_str(), nullptr, 0, kDownloadFlags, 0)
                               : nullptr);
    FileHandle file(::CreateFileA(args[3].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!request || !file) {
        Print("error", SysErrorText());
        return 1;
    }
    static char buffer[8192];
    unsigned long long total = 0;
    DWORD n = 0, written = 0;
    while (::InternetReadFile(request.Get(), buffer, sizeof buffer, &n) && n > 0) {
        ::WriteFile(file.Get(), buffer, n, &written, nullptr);
        total += n;
    }
    file.Reset();
    const double elapsed = Seconds() - start;
    Print("bytes", std::to_string(total));
    Print("elapsed_ms", std::to_string(static_cast<long long>(elapsed * 1000)));
    return 0;
}

int Trust(const std::vector<std::string>& args)
{
    std::FILE* f = std::fopen(args[2].c_str(), "rb");
    if (!f) {
        Print("error", "cannot read " + args[2]);
        return 1;
    }
    std::vector<unsigned char> der(65536);
    der.resize(std::fread(der.data(), 1, der.size(), f));
    std::fclose(f);
    using AddFn = BOOL(WINAPI*)(LPCSTR, const BYTE*, DWORD);
    auto add = reinterpret_cast<AddFn>(
        reinterpret_cast<void*>(ProcedureAddress("crypt32.dll", "CertAddEncodedCertificateToSystemStoreA")));
    const bool ok = add && add("Root", der.data(), static_cast<DWORD>(der.size()));
    Print("trusted", ok ? "1" : "0");
    if (!ok) Print("error", SysErrorText());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv, argv + argc);
    InitDebugChannel();  // trace lines go to a running debug viewer
    const std::string cmd = args.size() > 1 ? args[1] : "";
    int rc = 2;
    if (cmd == "get" && args.size() >= 4) {
        rc = Get(args);
    } else if (cmd == "size" && args.size() >= 3) {
        Print("size", std::to_string(HTTP_GetFileSize(args[2])));
        rc = 0;
    } else if (cmd == "connected") {
        std::string error;
        Print("connected", InternetConnectedEx(error) ? "1" : "0");
        Print("error", error);
        rc = 0;
    } else if (cmd == "warmup" && args.size() >= 3) {
        const double start = Seconds();
        HTTP_WarmUp(args[2]);
        Print("elapsed_ms", std::to_string(static_cast<long long>((Seconds() - start) * 1000)));
        rc = 0;
    } else if (cmd == "raw" && args.size() >= 4) {
        rc = Raw(args);
    } else if (cmd == "trust" && args.size() >= 3) {
        rc = Trust(args);
    } else {
        std::fprintf(stderr, "usage: httpget get|size|connected|warmup|raw|trust ...\n");
    }
    std::fflush(stdout);
    return rc;
}

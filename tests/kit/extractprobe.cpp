// extractprobe: a stand-in setup engine for the e2e scenarios of the setup
// run. Packed as the program to start, it runs from the extraction folder
// while the launcher waits, and reports what the extraction left there before
// the launcher deletes it.
//
//   extractprobe [/Report=FILE] [/Copy=FOLDER] [/ExitCode=N] [launcher switches]
//
// /Report writes, one per line:
//   folder=<its own folder>
//   cmdline=<its command line>
//   D|<relative path>                            each folder below its own
//   F|<relative path>|<size>|<MS-DOS date-time>  each file (local time,
//                                                as the package stores it)
//   bar=<WS_VISIBLE 0|1>,<position>,<maximum>    each progress bar of the
//                                                launcher's windows
//   peak=<peak working set>,<peak pagefile>      the launcher's memory (bytes)
// /Copy copies every file (with its time) and folder, itself included, into
// FOLDER, so that the test can compare bytes. Without switches it only exits,
// at once (the benchmark's engine). Exit code: /ExitCode, else 0.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The value of "/Name=" in the command line: up to the next blank, or quoted.
std::string Switch(const std::string& line, const std::string& name)
{
    const std::string key = "/" + name + "=";
    const size_t p = line.find(key);
    if (p == std::string::npos) return "";
    size_t i = p + key.size();
    if (i < line.size() && line[i] == '"') {
        const size_t end = line.find('"', i + 1);
        return line.substr(i + 1, (end == std::string::npos ? line.size() : end) - i - 1);
    }
    const size_t end = line.find(' ', i);
    return line.substr(i, (end == std::string::npos ? line.size() : end) - i);
}

std::string OwnFolder()
{
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string path(buf, n);
    return path.substr(0, path.find_last_of('\\'));
}

DWORD ParentProcessId()
{
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 pe{};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
        if (pe.th32ProcessID == self) parent = pe.th32ParentProcessID;
    CloseHandle(snap);
    return parent;
}

unsigned DosTimeOf(const WIN32_FIND_DATAA& fd)
{
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&fd.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<unsigned>(date) << 16) | time;
}

// Lists (and copies, when copyTo is set) the tree below root.
void Walk(const std::string& root, const std::string& rel, const std::string& copyTo, std::vector<std::string>& out)
{
    const std::string folder = rel.empty() ? root : root + "\\" + rel;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        const std::string relPath = rel.empty() ? name : rel + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back("D|" + relPath);
            if (!copyTo.empty()) CreateDirectoryA((copyTo + "\\" + relPath).c_str(), nullptr);
            Walk(root, relPath, copyTo, out);
        } else {
            const unsigned long long size = (static_cast<unsigned long long>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            out.push_back("F|" + relPath + "|" + std::to_string(size) + "|" + std::to_string(DosTimeOf(fd)));
            if (!copyTo.empty()) CopyFileA((root + "\\" + relPath).c_str(), (copyTo + "\\" + relPath).c_str(), FALSE);
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

struct TBars {
    DWORD pid;
    std::vector<std::string> lines;
};

BOOL CALLBACK OnChild(HWND wnd, LPARAM param)
{
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "msctls_progress32") == 0) {
        const bool visible = (GetWindowLongA(wnd, GWL_STYLE) & WS_VISIBLE) != 0;
        const LRESULT pos = SendMessageA(wnd, PBM_GETPOS, 0, 0);
        const LRESULT max = SendMessageA(wnd, PBM_GETRANGE, FALSE, 0);
        reinterpret_cast<TBars*>(param)->lines.push_back("bar=" + std::to_string(visible ? 1 : 0) + "," +
                                                         std::to_string(pos) + "," + std::to_string(max));
    }
    return TRUE;
}

BOOL CALLBACK OnTopWindow(HWND wnd, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == reinterpret_cast<TBars*>(param)->pid) EnumChildWindows(wnd, OnChild, param);
    return TRUE;
}

std::string PeakMemory(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return "";
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    std::string text;
    if (GetProcessMemoryInfo(process, &pmc, sizeof pmc))
        text = std::to_string(pmc.PeakWorkingSetSize) + "," + std::to_string(pmc.PeakPagefileUsage);
    CloseHandle(process);
    return text;
}

}  // namespace

int main()
{
    const std::string line = GetCommandLineA();
    const std::string report = Switch(line, "Report");
    const std::string copyTo = Switch(line, "Copy");
    const int code = std::atoi(Switch(line, "ExitCode").c_str());
    if (report.empty() && copyTo.empty()) return code;

    const std::string root = OwnFolder();
    std::vector<std::string> out = {"folder=" + root, "cmdline=" + line};
    if (!copyTo.empty()) CreateDirectoryA(copyTo.c_str(), nullptr);
    Walk(root, "", copyTo, out);
    TBars bars{ParentProcessId(), {}};
    if (bars.pid) {
        EnumWindows(OnTopWindow, reinterpret_cast<LPARAM>(&bars));
        out.insert(out.end(), bars.lines.begin(), bars.lines.end());
        out.push_back("peak=" + PeakMemory(bars.pid));
    }
    if (!report.empty()) {
        // Written under another name and renamed, so the test never reads half a report.
        const std::string part = report + ".part";
        if (FILE* f = std::fopen(part.c_str(), "wb")) {
            for (const auto& l : out) std::fprintf(f, "%s\n", l.c_str());
            std::fclose(f);
            MoveFileExA(part.c_str(), report.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    return code;
}

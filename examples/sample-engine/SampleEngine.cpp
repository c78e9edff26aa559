// sample-engine.exe: a small setup engine for Lumidor packages, and an
// example for authors who write their own.
//
// The launcher extracts a package into a temporary folder and starts the
// engine from there with a command line that ends in
//     /TH_ID=_<id> /OriginExe="<path of the package>" [/AutoUpdateProg]
// and waits. The contract the engine honours:
//   - while it works, it shows a window of class ".SDialog_Class_Name." + id;
//     the launcher keeps waiting while any window of that class exists;
//   - on success it deletes the global atom "AutoUpdateAtomTokenByLumidor" +
//     id, which is how the launcher learns that the installation succeeded;
//   - its exit code becomes the launcher's exit code.
//
// What it installs: every file of its own folder and the folders below it
// (what it was extracted with), except itself, copied into the target
// folder, with a log "install.log" written there.
//
// Switches (names without regard to case; a value with blanks in double
// quotes; unknown switches, such as /silent, are ignored):
//   /TH_ID=<id>         launch id from the launcher (without it no atom is
//                       touched and the class is ".SDialog_Class_Name.")
//   /OriginExe=<path>   the package that started it (written to the log)
//   /AutoUpdateProg     started by an auto-update agent (written to the log)
//   /Target=<folder>    where to install; default
//                       "<Program Files>\Lumidor Sample"
//   /Fail               installs nothing and fails: the atom stays, exit
//                       code 1 unless /ExitCode says otherwise
//   /ExitCode=<n>       exit with this code (on success too)
//   /HoldDialog=<ms>    keeps the dialog open at least this long
//   /LeaveDialog=<ms>   ends at once after its work but leaves a window of the
//                       dialog class open for this long (a second copy of the
//                       engine holds it), as engines do that hand over to a
//                       process of their own
//   /RecordCmd=<file>   writes its command line, exactly as received, to this
//                       file before anything else
//   /RecordStart=<file> writes how it was started, before anything else: the
//                       lines "show=<n>" (the show state of its start-up
//                       record, -1 when none was given) and "exe=<path>"
//                       (the program that runs)
//   /DialogOnly=<ms>    internal, for /LeaveDialog: only shows the dialog
//
// Exit codes: 0 on success, 1 on failure (/Fail, or a file that could not be
// copied), 2 when the user closed the dialog; /ExitCode replaces any of them.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kAtomPrefix[] = "AutoUpdateAtomTokenByLumidor";
const char kClassPrefix[] = ".SDialog_Class_Name.";
const char kLogName[] = "install.log";

// ---- Command line -------------------------------------------------------------

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The arguments after the program's own name (quoted or not).
std::string Arguments(const std::string& line)
{
    size_t i = 0;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i < line.size() && line[i] == '"') {
        const size_t end = line.find('"', i + 1);
        i = end == std::string::npos ? line.size() : end + 1;
    } else {
        while (i < line.size() && line[i] != ' ') ++i;
    }
    return line.substr(i);
}

// The switch's position: "/" + name at the start or after a blank, followed
// by "=", a blank or the end. npos when absent.
size_t FindSwitch(const std::string& args, const std::string& name, bool withValue)
{
    const std::string up = Upper(args);
    const std::string key = "/" + Upper(name) + (withValue ? "=" : "");
    for (size_t p = up.find(key); p != std::string::npos; p = up.find(key, p + 1)) {
        const bool start = p == 0 || up[p - 1] == ' ';
        const size_t after = p + key.size();
        const bool end = withValue || after == up.size() || up[after] == ' ';
        if (start && end) return p;
    }
    return std::string::npos;
}

bool HasFlag(const std::string& args, const std::string& name)
{
    return FindSwitch(args, name, false) != std::string::npos;
}

// The value of "/name=value": up to the next blank, or the text in double
// quotes when it starts with one. `def` when absent.
std::string SwitchValue(const std::string& args, const std::string& name, const std::string& def)
{
    const size_t p = FindSwitch(args, name, true);
    if (p == std::string::npos) return def;
    size_t i = p + name.size() + 2;
    if (i < args.size() && args[i] == '"') {
        const size_t end = args.find('"', i + 1);
        return args.substr(i + 1, (end == std::string::npos ? args.size() : end) - i - 1);
    }
    const size_t end = args.find(' ', i);
    return args.substr(i, (end == std::string::npos ? args.size() : end) - i);
}

long long SwitchNumber(const std::string& args, const std::string& name, long long def)
{
    const std::string v = SwitchValue(args, name, "");
    if (v.empty()) return def;
    char* end = nullptr;
    const long long n = std::strtoll(v.c_str(), &end, 10);
    return end && *end == '\0' ? n : def;
}

// ---- Files --------------------------------------------------------------------

std::string OwnPath()
{
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : "";
}

std::string FolderOf(const std::string& path)
{
    const size_t p = path.find_last_of('\\');
    return p == std::string::npos ? "" : path.substr(0, p);
}

std::string DefaultTarget()
{
    char buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("ProgramFiles", buf, sizeof buf);
    const std::string programFiles = n > 0 && n < sizeof buf ? std::string(buf, n) : "C:\\Program Files";
    return programFiles + "\\Lumidor Sample";
}

// Creates the folder and the folders above it.
bool MakeFolders(const std::string& folder)
{
    if (folder.empty()) return false;
    const DWORD attr = GetFileAttributesA(folder.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES) return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::string parent = FolderOf(folder);
    if (!parent.empty() && parent != folder && parent.back() != ':') MakeFolders(parent);
    return CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void AppendLine(const std::string& file, const std::string& text)
{
    HANDLE f = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\r\n";
    DWORD written = 0;
    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(f);
}

bool WriteWhole(const std::string& file, const std::string& text)
{
    HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(f);
    return ok;
}

// Relative paths of the files below `root`, except `skipFile` and the folder
// `skipFolder` (the target, should it lie inside).
void ListFiles(const std::string& root, const std::string& rel, const std::string& skipFile,
               const std::string& skipFolder, std::vector<std::string>& out)
{
    const std::string folder = rel.empty() ? root : root + "\\" + rel;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        const std::string relPath = rel.empty() ? name : rel + "\\" + name;
        const std::string full = root + "\\" + relPath;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (Upper(full) != Upper(skipFolder)) ListFiles(root, relPath, skipFile, skipFolder, out);
        } else if (Upper(full) != Upper(skipFile)) {
            out.push_back(relPath);
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

// ---- Dialog -------------------------------------------------------------------

HWND gStatus = nullptr;
bool gCancelled = false;

LRESULT CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_CLOSE) {
        gCancelled = true;
        return 0;
    }
    return DefWindowProcA(wnd, msg, w, l);
}

HWND ShowDialog(const std::string& launchId, int show)
{
    const std::string cls = kClassPrefix + launchId;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = cls.c_str();
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, cls.c_str(), "Sample Setup", WS_CAPTION | WS_SYSMENU | WS_POPUP, CW_USEDEFAULT,
                               CW_USEDEFAULT, 380, 110, nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd) return nullptr;
    gStatus = CreateWindowExA(0, "STATIC", "Preparing...", WS_CHILD | WS_VISIBLE, 12, 20, 350, 40, wnd, nullptr,
                              wc.hInstance, nullptr);
    ShowWindow(wnd, show);
    UpdateWindow(wnd);
    return wnd;
}

void Status(const std::string& text)
{
    if (gStatus) SetWindowTextA(gStatus, text.c_str());
}

// Serves the queue for `ms` (at least once).
void Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(ms > 0 ? 10 : 0);
    } while (GetTickCount() - start < ms);
}

// Starts a second copy that holds a dialog window of the launch's class for
// `ms`, and waits until that window exists.
void LeaveDialog(const std::string& launchId, long long ms, int show)
{
    std::string cmd = "\"" + OwnPath() + "\" /DialogOnly=" + std::to_string(ms) + " /TH_ID=" + launchId;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;  // hidden when this one was
    si.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    CloseHandle(pi.hThread);
    const std::string cls = kClassPrefix + launchId;
    for (int i = 0; i < 500 && !FindWindowA(cls.c_str(), nullptr); ++i) {
        if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    CloseHandle(pi.hProcess);
}

// ---- Installation -------------------------------------------------------------

struct TRun {
    std::string args;
    std::string launchId;
    std::string target;
    std::string log;
};

// Copies the files; false (with the reason in the log) when one fails or the
// user cancels.
bool Install(const TRun& run)
{
    if (!MakeFolders(run.target)) {
        AppendLine(run.log, "Cannot create the target folder");
        return false;
    }
    const std::string self = OwnPath();
    const std::string source = FolderOf(self);
    std::vector<std::string> files;
    ListFiles(source, "", self, run.target, files);
    for (const std::string& rel : files) {
        Pump(0);
        if (gCancelled) {
            AppendLine(run.log, "Cancelled by the user");
            return false;
        }
        Status("Installing " + rel);
        const std::string to = run.target + "\\" + rel;
        MakeFolders(FolderOf(to));
        if (!CopyFileA((source + "\\" + rel).c_str(), to.c_str(), FALSE)) {
            AppendLine(run.log, "Cannot copy " + rel + " (error " + std::to_string(GetLastError()) + ")");
            return false;
        }
        AppendLine(run.log, "Copied " + rel);
    }
    return true;
}

int DialogOnly(const std::string& args, int show)
{
    const std::string launchId = SwitchValue(args, "TH_ID", "");
    HWND wnd = ShowDialog(launchId, show);
    Status("Finishing...");
    Pump(static_cast<DWORD>(SwitchNumber(args, "DialogOnly", 0)));
    if (wnd) DestroyWindow(wnd);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show)
{
    const std::string line = GetCommandLineA();
    const std::string args = Arguments(line);
    if (FindSwitch(args, "DialogOnly", true) != std::string::npos) return DialogOnly(args, show);

    const std::string record = SwitchValue(args, "RecordCmd", "");
    if (!record.empty()) WriteWhole(record, line);
    const std::string startRecord = SwitchValue(args, "RecordStart", "");
    if (!startRecord.empty()) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        GetStartupInfoA(&si);
        const int given = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
        WriteWhole(startRecord, "show=" + std::to_string(given) + "\r\nexe=" + OwnPath() + "\r\n");
    }

    TRun run;
    run.args = args;
    run.launchId = SwitchValue(args, "TH_ID", "");
    run.target = SwitchValue(args, "Target", DefaultTarget());
    while (run.target.size() > 3 && run.target.back() == '\\') run.target.pop_back();
    run.log = run.target + "\\" + kLogName;

    const DWORD started = GetTickCount();
    HWND dialog = ShowDialog(run.launchId, show);

    const bool fail = HasFlag(args, "Fail");
    bool ok = false;
    int code = 1;
    if (fail) {
        Status("Failing as asked");
    } else {
        MakeFolders(run.target);
        AppendLine(run.log, "Lumidor sample engine");
        AppendLine(run.log, "Command line: " + line);
        AppendLine(run.log, "Launch id: " + run.launchId);
        AppendLine(run.log, "Origin: " + SwitchValue(args, "OriginExe", ""));
        AppendLine(run.log, std::string("Started by the update agent: ") + (HasFlag(args, "AutoUpdateProg") ? "yes" : "no"));
        ok = Install(run);
        code = ok ? 0 : (gCancelled ? 2 : 1);
        AppendLine(run.log, ok ? "Result: installed" : "Result: failed");
    }

    const DWORD hold = static_cast<DWORD>(SwitchNumber(args, "HoldDialog", 0));
    while (!gCancelled && GetTickCount() - started < hold) Pump(20);
    if (dialog) DestroyWindow(dialog);

    if (ok && !run.launchId.empty()) {
        const ATOM atom = GlobalFindAtomA((kAtomPrefix + run.launchId).c_str());
        if (atom) GlobalDeleteAtom(atom);
    }
    const long long leave = SwitchNumber(args, "LeaveDialog", 0);
    if (leave > 0) LeaveDialog(run.launchId, leave, show);
    return static_cast<int>(SwitchNumber(args, "ExitCode", code));
}

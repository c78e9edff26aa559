// Small helpers shared by the Windows tests: a scratch folder, files of the
// build, and running a test-kit program in a process of its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/UtilsWin.h"

namespace wintest {

// A fresh folder under the temporary folder whose whole tree goes at the end.
class ScratchTree {
public:
    explicit ScratchTree(const std::string& name)
        : Path(TempFolder(true) + "lum-" + name + "-" + std::to_string(GetCurrentProcessId()))
    {
        DeleteTree(Path, true);
        CreateDirectoryA(Path.c_str(), nullptr);
    }
    ~ScratchTree() { DeleteTree(Path, true); }
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;
    std::string File(const std::string& name) const { return Path + "\\" + name; }
    const std::string Path;
};

// A file's last-write time as a packed DOS date-time (local time), 0 when unknown.
inline uint32_t DosTimeOf(const std::string& path)
{
    FileHandle f(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME utc{}, local{};
    WORD date = 0, time = 0;
    if (!f || !GetFileTime(f.Get(), nullptr, nullptr, &utc) || !FileTimeToLocalFileTime(&utc, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (static_cast<uint32_t>(date) << 16) | time;
}

// A fresh folder under the temporary folder, removed with its files (not
// subfolders) at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
    {
        path_ = TempFolder(true) + "lum-" + name + "-" + std::to_string(GetCurrentProcessId());
        Clear();
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchDir()
    {
        Clear();
        RemoveDirectoryA(path_.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    void Clear()
    {
        WIN32_FIND_DATAA fd;
        FindHandle find(FindFirstFileA((path_ + "\\*").c_str(), &fd));
        if (!find) return;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(fd.cFileName).c_str());
        } while (FindNextFileA(find.Get(), &fd));
    }
    std::string path_;
};

// A file of the build folder (where win_tests.exe, the kit and fixtures are).
inline std::string BuildFile(const std::string& name) { return OwnFolder(true) + name; }

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadWholeFile(const std::string& path)
{
    FileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr));
    if (!f) return "";
    std::string data;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(f.Get(), buf, sizeof buf, &n, nullptr) && n > 0) data.append(buf, n);
    return data;
}

// Runs `commandLine` with its standard output in `outputFile`; the exit code,
// or -1 when it did not start or did not end within a minute.
inline long RunProgram(const std::string& commandLine, const std::string& outputFile)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    FileHandle out(CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        fprintf(stderr, "RunProgram: cannot create %s: %lu\n", outputFile.c_str(), GetLastError());
        return -1;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.Get();
    si.hStdError = out.Get();
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(stderr, "RunProgram: cannot start %s: %lu\n", commandLine.c_str(), GetLastError());
        return -1;
    }
    KernelHandle process(pi.hProcess);
    KernelHandle thread(pi.hThread);
    if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<long>(code);
}

// Sets (or, with nullptr, removes) an environment variable for the life of
// the object; children started meanwhile inherit it.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const char* value) : name_(name)
    {
        char buf[4096];
        const DWORD n = GetEnvironmentVariableA(name.c_str(), buf, sizeof buf);
        had_ = n > 0 && n < sizeof buf;
        if (had_) old_.assign(buf, n);
        SetEnvironmentVariableA(name.c_str(), value);
    }
    ~ScopedEnv() { SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace wintest

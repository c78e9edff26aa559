// Files, Win32 half: deletion, the self-deletion batch start, data files,
// the CD eject, free space and the tree searches.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

constexpr size_t kOneWriteMax = 1048576;

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

std::string WithoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

// Calls visit(path, data) for every entry of folder but "." and "..";
// visit returns true to stop. True when stopped.
bool ForEachEntry(const std::string& folder, const std::function<bool(const std::string&, const WIN32_FIND_DATAA&)>& visit)
{
    const std::string base = WithoutTrailingSlash(folder);
    WIN32_FIND_DATAA data{};
    FindHandle find(::FindFirstFileA((base + "\\*.*").c_str(), &data));
    if (!find) return false;
    do {
        if (IsDotEntry(data.cFileName)) continue;
        if (visit(Cat({base, "\\", data.cFileName}), data)) return true;
    } while (::FindNextFileA(find.Get(), &data));
    return false;
}

// A folder we may walk into: not a junction or symbolic link, whose target
// could be anywhere (and could lead back up into the tree).
bool IsPlainFolder(const WIN32_FIND_DATAA& data)
{
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool SetDosTime(HANDLE file, uint32_t dosDateTime)
{
    FILETIME local{}, utc{};
    return ::DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local) &&
           ::LocalFileTimeToFileTime(&local, &utc) && ::SetFileTime(file, nullptr, nullptr, &utc);
}

using DiskFreeExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

DiskFreeExFn DiskFreeEx()
{
    // Looked up once: the 9x family before OSR2 lacks it.
    static const DiskFreeExFn fn = reinterpret_cast<DiskFreeExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA")));
    return fn;
}

}  // namespace

// ---- Self-deletion ------------------------------------------------------------

namespace {

// Random bits from the system's generator (RtlGenRandom, looked up by name as
// it is not exported under that name); the clock and the process id mixed
// in when it is missing.
uint64_t RandomBits()
{
    using GenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);
    uint64_t value = 0;
    HMODULE advapi = ::GetModuleHandleA("advapi32.dll");  // imported: loaded already
    const auto gen = advapi ? reinterpret_cast<GenRandomFn>(reinterpret_cast<void*>(
                                  ::GetProcAddress(advapi, "SystemFunction036")))
                            : nullptr;
    if (gen && gen(&value, sizeof value)) return value;
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    value = static_cast<uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull;
    value ^= (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount();
    return value;
}

// Creates the file new (never opening one that exists) and writes the text.
bool WriteNewFile(const std::string& path, const std::string& text)
{
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    DWORD done = 0;
    return text.empty() ||
           (::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
            done == text.size());
}

}  // namespace

std::string StartSelfDeleteBatch(const std::string& exePath, const std::string& folder, bool removeFolder,
                                 int attempts)
{
    // A fresh name nobody can guess, created new: another program cannot
    // have the elevated interpreter run a batch it prepared or rewrites.
    std::string batchPath;
    std::string text;
    for (int i = 0; i < 8 && batchPath.empty(); ++i) {
        const std::string candidate = JoinPath(folder, SelfDeleteBatchName(RandomBits()));
        text = SelfDeleteBatchText(exePath, candidate, removeFolder, attempts);
        // The interpreter reads a batch in the OEM code page: a path with
        // letters beyond ASCII must be written in it to name the same file.
        if (!text.empty()) ::CharToOemBuffA(text.data(), text.data(), static_cast<DWORD>(text.size()));
        if (WriteNewFile(candidate, text)) batchPath = candidate;
    }
    if (batchPath.empty()) {
        Trace(Cat({"DeleteMySelf: cannot write a batch in ", folder, " ", SysErrorText()}));
        return "";
    }
    const std::string command = Cat({"\"", batchPath, "\""});
    if (::WinExec(command.c_str(), SW_HIDE) <= 31) return "";
    return batchPath;
}

void DeleteMySelf(bool removeFolder)
{
    const std::string exe = OwnPath();
    TraceKeyValue("ExeName", exe);
    // The process must not hold its own folder, or the batch could not remove it.
    ::SetCurrentDirectoryA(TempFolder(false).c_str());
    StartSelfDeleteBatch(exe, TempFolder(false), removeFolder);
}

// ---- Data files -----------------------------------------------------------------

bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosDateTime, bool append)
{
    bool existed = false;
    return WriteDataFile(path, data, dosDateTime, append, existed);
}

bool WriteDataFile(const std::string& path, std::string_view data, uint32_t dosDateTime, bool append, bool& existed)
{
    // Appending opens a present file shared and writes at its end, or creates
    // it; otherwise the file is created or emptied.
    // A link at the path is opened as itself, not followed, and refused below.
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                  append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ, nullptr,
                                  append ? OPEN_ALWAYS : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const DWORD openError = ::GetLastError();
    if (!file) {
        // Unlike a bare byte count, a file that could not even be created is a
        // failure, also for empty data.
        existed = openError != ERROR_FILE_NOT_FOUND && openError != ERROR_PATH_NOT_FOUND && FileExistsX(path);
        ::SetLastError(openError);
        return false;
    }
    existed = openError == ERROR_ALREADY_EXISTS;
    if (existed) {
        // Only a file that was there before can be a link someone planted.
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(file.Get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
    }
    LARGE_INTEGER zero{};
    if (append && existed && !::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) return false;

    size_t written = 0;
    const size_t piece = data.size() <= kOneWriteMax ? data.size() : std::min(data.size() / 10, kOneWriteMax);
    while (written < data.size()) {
        const DWORD want = static_cast<DWORD>(std::min(piece, data.size() - written));
        DWORD done = 0;
        if (!::WriteFile(file.Get(), data.data() + written, want, &done, nullptr) || done == 0) break;
        written += done;
    }
    if (written == data.size() && dosDateTime != 0) SetDosTime(file.Get(), dosDateTime);
    return written == data.size();
}

// ---- Deletion -----------------------------------------------------------------

bool DeleteFilesByMask(const std::string& mask, bool clearAttributes)
{
    const std::string folder = FolderPart(mask);
    const std::string prefix = folder.empty() ? "" : folder + "\\";
    WIN32_FIND_DATAA data{};
    FindHandle find(::FindFirstFileA(mask.c_str(), &data));
    if (!find) return false;
    bool matched = false;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        matched = true;
        const std::string path = prefix + data.cFileName;
        // A link's attributes could be set on its target: links are deleted
        // as they are.
        if (clearAttributes && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
    } while (::FindNextFileA(find.Get(), &data));
    return matched;
}

bool DeleteTree(const std::string& folder, bool clearAttributes)
{
    if (folder.empty()) return false;
    const std::string base = WithoutTrailingSlash(folder);
    const bool existed = FolderExistsX(base);
    const DWORD attributes = ::GetFileAttributesA(base.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // The folder itself is a junction or a link (planted in its place):
        // the link goes, never what it points to.
        if (!::RemoveDirectoryA(base.c_str())) ::DeleteFileA(base.c_str());
        return existed && ::GetFileAttributesA(base.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    DeleteFilesByMask(base + "\\*.*", clearAttributes);
    ForEachEntry(base, [&](const std::string& path, const WIN32_FIND_DATAA& data) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction is removed as a link; what it points to is not ours.
            if (IsPlainFolder(data)) DeleteTree(path, clearAttributes);
            ::RemoveDirectoryA(path.c_str());
        }
        YieldX(10);
        return false;
    });
    ::RemoveDirectoryA(base.c_str());
    return existed && !FolderExistsX(base);
}

// ---- Drives -----------------------------------------------------------------------

bool EjectCD(const std::string& path)
{
    const char letter = DriveLetterOf(path);
    if (letter == 0) return false;
    const std::string root = std::string(1, letter) + ":\\";
    if (::GetDriveTypeA(root.c_str()) != DRIVE_CDROM) return false;

    const std::string device = Cat({"\\\\.\\", std::string(1, letter), ":"});
    FileHandle drive(::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    Trace(Cat({"EjectCD-2: ", device, " ", IntText(reinterpret_cast<intptr_t>(drive.Get()))}));
    if (!drive)
        drive.Reset(::CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    Trace(Cat({"EjectCD-3: ", device, " ", IntText(reinterpret_cast<intptr_t>(drive.Get()))}));
    DWORD returned = 0;
    return ::DeviceIoControl(drive.Get(), IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned, nullptr);
}

double DiskFreeBytes(const std::string& path)
{
    if (DiskFreeEx()) {
        ULARGE_INTEGER toCaller{}, total{}, totalFree{};
        if (DiskFreeEx()(DriveRoot(path, false).c_str(), &toCaller, &total, &totalFree) ||
            DiskFreeEx()(DriveRoot(path, true).c_str(), &toCaller, &total, &totalFree))
            return static_cast<double>(toCaller.QuadPart);
        return -1;
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceA(DriveRoot(path, true).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &clusters))
        return -1;
    return static_cast<double>(sectorsPerCluster) * bytesPerSector * freeClusters;
}

// ---- Reading and testing ------------------------------------------------------------

void ReadFilePart(const std::string& file, int64_t maxLength, bool trim, std::string& text, int64_t start)
{
    text.clear();
    FileHandle h(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h.Get(), &size)) return;
    int64_t n = size.QuadPart - start;
    if (maxLength != 0) n = std::min(n, maxLength);
    if (start < 0 || start >= size.QuadPart || n <= 0) return;
    LARGE_INTEGER at{};
    at.QuadPart = start;
    if (!::SetFilePointerEx(h.Get(), at, nullptr, FILE_BEGIN)) return;
    text.resize(static_cast<size_t>(n));
    size_t got = 0;
    while (got < text.size()) {
        DWORD done = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(text.size() - got, kOneWriteMax));
        if (!::ReadFile(h.Get(), text.data() + got, want, &done, nullptr) || done == 0) break;
        got += done;
    }
    if (got < text.size()) text.clear();
    if (trim) text = Trim(text);
}

int64_t FileSize64(const std::string& file)
{
    WIN32_FIND_DATAA data{};
    FindHandle find(::FindFirstFileA(file.c_str(), &data));
    if (!find) return 0;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FileExistsX(const std::string& path)
{
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExistsX(const std::string& path)
{
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceFolders(const std::string& folder)
{
    const std::string f = WithoutTrailingSlash(folder);
    if (f.empty()) return false;
    if (FolderExistsX(f)) return true;
    const std::string parent = FolderPart(f);
    // Stop at a drive ("C:") or the top of a UNC path.
    if (!parent.empty() && parent != f && parent.back() != ':' && !FolderExistsX(parent)) ForceFolders(parent);
    return ::CreateDirectoryA(f.c_str(), nullptr) || FolderExistsX(f);
}

// ---- Searching ------------------------------------------------------------------

bool FindFileInTree(const std::string& folder, const std::string& name, std::string& path)
{
    path.clear();
    const std::string candidate = JoinPath(WithoutTrailingSlash(folder), name);
    if (::GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) {
        path = candidate;
        return true;
    }
    return ForEachEntry(folder, [&](const std::string& sub, const WIN32_FIND_DATAA& data) {
        const bool hit = IsPlainFolder(data) && FindFileInTree(sub, name, path);
        YieldX(0);
        return hit;
    });
}

bool FindFolderInTree(const std::string& folder, const std::string& name, std::string& path)
{
    path.clear();
    const std::string base = WithoutTrailingSlash(folder);
    if (EndsWith(base, "\\" + name, true)) {
        path = base;
        return true;
    }
    return ForEachEntry(base, [&](const std::string& sub, const WIN32_FIND_DATAA& data) {
        const bool hit = IsPlainFolder(data) && FindFolderInTree(sub, name, path);
        YieldX(0);
        return hit;
    });
}

bool FindFolderOnDrives(const std::string& text, unsigned driveType, std::string& path)
{
    path.clear();
    if (text.size() >= 3 && text.compare(1, 2, ":\\") == 0) {
        if (::GetDriveTypeA(DriveRoot(text, true).c_str()) == driveType && FolderExistsX(text)) path = text;
        return !path.empty();
    }
    // A: and B: are floppy drives: never touched, so no drive light and no "insert disk".
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (::GetDriveTypeA(root.c_str()) == driveType && FindFolderInTree(root, text, path)) return true;
    }
    return false;
}

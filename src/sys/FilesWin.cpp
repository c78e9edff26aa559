// Files, Win32 half: deletion, the self-deletion batch start, data files,
// the CD eject, free space and the tree searches.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "stub/StubGlob.h"
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
        if (visit(base + "\\" + data.cFileName, data)) return true;
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

bool StartSelfDeleteBatch(const std::string& exePath, const std::string& batchPath, bool removeFolder, int attempts)
{
    const std::string text = SelfDeleteBatchText(exePath, batchPath, removeFolder, attempts);
    if (!WriteDataFile(batchPath, text, 0, false)) {
        Trace("DeleteMySelf: cannot write " + batchPath + " " + SysErrorText());
        return false;
    }
    const std::string command = "\"" + batchPath + "\"";
    return ::WinExec(command.c_str(), SW_HIDE) > 31;
}

void DeleteMySelf(bool removeFolder)
{
    const std::string exe = OwnPath();
    TraceKeyValue("ExeName", exe);
    // The process must not hold its own folder, or the batch could not remove it.
    ::SetCurrentDirectoryA(TempFolder(false).c_str());
    StartSelfDeleteBatch(exe, TempFolder(true) + kSelfDeleteBatchName, removeFolder);
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
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                  append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ, nullptr,
                                  append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD openError = ::GetLastError();
    if (!file) {
        // Unlike a bare byte count, a file that could not even be created is a
        // failure, also for empty data.
        existed = openError != ERROR_FILE_NOT_FOUND && openError != ERROR_PATH_NOT_FOUND && FileExistsX(path);
        ::SetLastError(openError);
        return false;
    }
    existed = openError == ERROR_ALREADY_EXISTS;
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
        if (clearAttributes) ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
    } while (::FindNextFileA(find.Get(), &data));
    return matched;
}

bool DeleteTree(const std::string& folder, bool clearAttributes)
{
    if (folder.empty()) return false;
    const std::string base = WithoutTrailingSlash(folder);
    const bool existed = FolderExistsX(base);
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

    const std::string device = std::string("\\\\.\\") + letter + ":";
    FileHandle drive(::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    Trace("EjectCD-2: " + device + " " + std::to_string(reinterpret_cast<intptr_t>(drive.Get())));
    if (!drive)
        drive.Reset(::CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    Trace("EjectCD-3: " + device + " " + std::to_string(reinterpret_cast<intptr_t>(drive.Get())));
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

bool FindFileOnDrives(const std::string& name, unsigned driveType, std::string& path)
{
    path.clear();
    // A: and B: are floppy drives: never touched, so no drive light and no "insert disk".
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (::GetDriveTypeA(root.c_str()) == driveType && FindFileInTree(root, name, path)) return true;
    }
    return false;
}

bool FindFolderOnDrives(const std::string& text, unsigned driveType, std::string& path)
{
    path.clear();
    if (text.size() >= 3 && text.compare(1, 2, ":\\") == 0) {
        if (::GetDriveTypeA(DriveRoot(text, true).c_str()) == driveType && FolderExistsX(text)) path = text;
        return !path.empty();
    }
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (::GetDriveTypeA(root.c_str()) == driveType && FindFolderInTree(root, text, path)) return true;
    }
    return false;
}

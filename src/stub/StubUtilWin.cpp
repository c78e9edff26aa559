// Win32 side of the stub's folders and agent settings.
#include <windows.h>

#include "stub/StubRunWin.h"
#include "stub/StubState.h"
#include "stub/StubUtil.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/UtilsWin.h"

uint32_t OwnDosDateTime()
{
    FileHandle f(CreateFileA(OwnPath().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
    if (!f) return 0;
    FILETIME write, local;
    WORD date = 0, time = 0;
    if (GetFileTime(f.Get(), nullptr, nullptr, &write) && FileTimeToLocalFileTime(&write, &local))
        FileTimeToDosDateTime(&local, &date, &time);
    return (static_cast<uint32_t>(date) << 16) | time;
}

std::string SetupTempFolder()
{
    static std::string folder;
    if (folder.empty()) {
        folder = SetupTempFolderName(TempFolder(true), OwnDosDateTime());
        DeleteTree(folder, true);
        ForceFolders(folder);
    }
    return folder;
}

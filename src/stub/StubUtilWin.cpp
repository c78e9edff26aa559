// Win32 side of the stub's folders.
#include <windows.h>

#include "stub/StubRunWin.h"
#include "stub/StubStateWin.h"
#include "stub/StubUtil.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/PrivateFolder.h"
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

std::string SetupTempFolder(TStubRun& run)
{
    TStubFolders& f = run.folders;
    if (!f.setupTried) {
        f.setupTried = true;
        // The folder is ours only when this run made it: a SETUP_<n> that
        // exists already (a leftover, or planted by another program to be
        // written into or to be deleted through) is passed over for the next
        // number.
        const TSetupFolderName name = SetupTempFolderName(TempFolder(true), OwnDosDateTime());
        f.setup = CreateNumberedPrivateFolder(name.base, name.number);
        if (f.setup.empty())
            Trace("SetupTempFolder: no new folder from " + NumberedFolderName(name.base, name.number, 0));
    }
    return f.setup;
}

#include "stub/StubTempFoldersWin.h"

#include <windows.h>

#include <cctype>

#include "stub/StubStateWin.h"
#include "stub/StubTempFolders.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/PrivateFolder.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

namespace {

bool IsFixedDrive(char letter)
{
    const std::string root = std::string(1, letter) + ":\\";
    return GetDriveTypeA(root.c_str()) == DRIVE_FIXED;
}

}  // namespace

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

bool FindRoomierTempDrive(TStubFolders& f)
{
    if (f.alternateSearched) return !f.alternateRoot.empty();
    f.alternateSearched = true;
    double freeOf[3] = {0, 0, 0};
    const char letters[3] = {'C', 'D', 'E'};
    for (int i = 0; i < 3; ++i) {
        if (!IsFixedDrive(letters[i])) continue;
        // The probe folder is made new and private like the work folder: a
        // drive's root is writable by every user.
        const std::string temp = std::string(1, letters[i]) + ":\\TEMP";
        const std::string probe = FolderExistsX(temp)
                                      ? CreateNumberedPrivateFolder(temp + "\\TEMP", RandomBetween(10000, 100000))
                                      : (CreatePrivateFolder(temp) ? temp : "");
        if (probe.empty()) continue;
        WriteDataFile(probe + "\\~aa.tmp", "aa", 0, false);
        if (FileExistsX(probe + "\\~aa.tmp")) freeOf[i] = DiskFreeBytes(probe);
        DeleteTree(probe, true);
    }
    const std::string temp = TempFolder(true);
    const char current = temp.empty() ? 'C' : static_cast<char>(std::toupper(static_cast<unsigned char>(temp[0])));
    char best = current;
    double max = 0;
    for (int i = 0; i < 3; ++i) {
        if (freeOf[i] > max) {
            max = freeOf[i];
            best = letters[i];
        }
    }
    if (best != current) {
        f.alternateRoot = std::string(1, best) + ":\\TEMP";
        if (FolderExistsX(f.alternateRoot)) f.alternateRoot += "\\TEMP";
    }
    return !f.alternateRoot.empty();
}

std::string AlternateWorkFolder(TStubFolders& f)
{
    if (f.alternateRoot.empty()) return "";
    if (f.alternateWork.empty()) {
        // Made new and private, like SETUP_<n>: a taken name moves on to the
        // next number.
        f.alternateWork = CreateNumberedPrivateFolder(f.alternateRoot + "_", RandomBetween(10000, 100000));
    }
    return f.alternateWork;
}

void RemoveAlternateWorkFolder(const TStubFolders& folders)
{
    if (!folders.alternateWork.empty()) DeleteTree(folders.alternateWork, true);
}

// Win32 side of the stub's folders and agent settings.
#include <windows.h>

#include "stub/StubAgentState.h"
#include "stub/StubRunWin.h"
#include "stub/StubState.h"
#include "stub/StubUtil.h"
#include "sys/Files.h"
#include "sys/Handles.h"
#include "sys/LWriteln.h"
#include "sys/PrivateFolder.h"
#include "sys/UtilsWin.h"
#include "sys/Win64.h"

namespace {

constexpr const char* kTestModeKey = "HKEY_CURRENT_USER\\Software\\Corvane\\Lumidor\\AutoUpdate";

bool gTestMode = false;
std::string gTestModeURL;
DWORD gTestModeTick = 0;
bool gTestModeRead = false;

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

namespace {
std::string gSetupTempFolder;
bool gSetupTempFolderTried = false;
}  // namespace

std::string SetupTempFolder()
{
    if (!gSetupTempFolderTried) {
        gSetupTempFolderTried = true;
        // The folder is ours only when this run made it: a SETUP_<n> that
        // exists already (a leftover, or planted by another program to be
        // written into or to be deleted through) is passed over for the next
        // number.
        const uint32_t time = OwnDosDateTime();
        gSetupTempFolder = CreateNumberedPrivateFolder(TempFolder(true) + "SETUP_", time & 0xFFFF);
        if (gSetupTempFolder.empty())
            Trace("SetupTempFolder: no new folder from " + SetupTempFolderName(TempFolder(true), time));
    }
    return gSetupTempFolder;
}

std::string MadeSetupTempFolder() { return gSetupTempFolder; }

bool CheckTestMode(bool force)
{
    const DWORD now = GetTickCount();
    if (force || !gTestModeRead || now - gTestModeTick > 30000u) {
        const bool view64 = RegistryView64() != 0;
        const std::string mode = RegReadString(kTestModeKey, "TestMode", "0", view64);
        const std::string date = RegReadString(kTestModeKey, "TestModeDate", "", view64);
        gTestModeURL = RegReadString(kTestModeKey, "TestModeURL", "", view64);
        gTestMode = mode == "1" && date == FormatDayMonYearLocal(-1);
        gTestModeRead = true;
    }
    gTestModeTick = now;
    return gTestMode;
}

std::string TestModeURL() { return gTestModeURL; }

void ApplyTransientSettings(const std::string& list) { OverridesFromList(AgentState(), list); }

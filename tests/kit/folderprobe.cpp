// Test-kit probe of the special folders, run by the Windows tests in a
// process of its own (so that a library override can apply to it alone):
//   folderprobe              every folder row as "Name=path" (no backslash),
//                            then "shfolder=0|1": whether SHFolder.dll loads
//   folderprobe expand TEXT  the placeholder expansion of TEXT (suffix "\",
//                            both flags), on one line
#include <windows.h>

#include <cstdio>
#include <string>

#include "sys/Win64.h"
#include "text/Common.h"
#include "text/ShellDir.h"

int main(int argc, char** argv)
{
    InitWin64();
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "expand" && argc > 2) {
        std::printf("%s\n", ExpandPlaceholders(argv[2], "\\", true, true).c_str());
        return 0;
    }
    static const struct {
        const char* name;
        TShellDir dir;
    } kRows[] = {
        {"WinDir", TShellDir::WinDir},
        {"WinSysDir", TShellDir::WinSysDir},
        {"WinSys16Dir", TShellDir::WinSys16Dir},
        {"TempDir", TShellDir::TempDir},
        {"FontDir", TShellDir::FontDir},
        {"ProfileBase", TShellDir::ProfileBase},
        {"DocumentsAndSettingsDir", TShellDir::DocumentsAndSettingsDir},
        {"UserDir", TShellDir::UserDir},
        {"AllUsersDir", TShellDir::AllUsersDir},
        {"UserLocalAppDataDir", TShellDir::UserLocalAppDataDir},
        {"UserAppDataDir", TShellDir::UserAppDataDir},
        {"AllUsersAppDataDir", TShellDir::AllUsersAppDataDir},
        {"MyDocumentsDir", TShellDir::MyDocumentsDir},
        {"AllUsersDocumentsDir", TShellDir::AllUsersDocumentsDir},
        {"UserStartMenuDir", TShellDir::UserStartMenuDir},
        {"UserDesktopDir", TShellDir::UserDesktopDir},
    };
    for (const auto& r : kRows) std::printf("%s=%s\n", r.name, ShellDir(r.dir, false).c_str());
    std::printf("shfolder=%d\n", LoadSystemLibrary("shfolder.dll") ? 1 : 0);
    return 0;
}

// Launch, Win32 half: CreateProcess with the program named twice, as the
// module to load and, quoted when needed, as the first word of its line.
#include <windows.h>

#include "sys/Launch.h"
#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"
#include "sys/UtilsWin.h"

void* StartProgramLine(const std::string& program, const std::string& commandLine, int showState)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        TracePid({" StartProgram failed: ", program, " ", SysErrorText()});
        return nullptr;
    }
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

void* StartProgram(const std::string& program, const std::string& arguments, int showState)
{
    return StartProgramLine(program, ProgramCommandLine(program, arguments), showState);
}

bool StartProgramDetached(const std::string& program, const std::string& arguments, int showState)
{
    HANDLE process = StartProgram(program, arguments, showState);
    if (!process) return false;
    ::CloseHandle(process);
    return true;
}

// Win32 side of the run log (its writer) and of the listener (its posts).
#include <windows.h>

#include "agent/AgentRunLog.h"
#include "sys/UrlMask.h"
#include "sys/UtilsWin.h"

namespace {
std::string gRunLogFile;
HWND gListenerWindow = nullptr;
UINT gListenerMessage = 0;
}  // namespace

std::string RunLogFileName()
{
    if (gRunLogFile.empty()) gRunLogFile = RunLogFileNameFor(OwnPath());
    return gRunLogFile;
}

void RunLogLine(const std::string& message)
{
    if (!RunLogEnabled()) return;
    std::string line = RunLogLineText(FormatLogStamp(-1), GetCurrentThreadId(), LogIndent(), MaskUrlCredentials(message));
    AppendTextToFile(RunLogFileName(), line, true, 0);
}

void RunLogLine(const char* message) { RunLogLine(std::string(message)); }

void SetListener(uintptr_t window, uint32_t message)
{
    gListenerWindow = reinterpret_cast<HWND>(window);
    gListenerMessage = message;
}

void NotifyListener(int code, intptr_t value)
{
    if (gListenerWindow && gListenerMessage) PostMessageA(gListenerWindow, gListenerMessage, code, value);
}

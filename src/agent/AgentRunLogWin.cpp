// Win32 side of the run log (its writer) and of the listener (its posts).
#include <windows.h>

#include "agent/AgentRunLog.h"
#include "sys/UrlMask.h"
#include "sys/UtilsWin.h"

namespace {
// The process's run log and listener: set at start (the log) and by the
// listener's registration, used by every line and notice of the stub and
// the agent alike, from any of their phases.
struct TRunLogChannel {
    bool enabled = false;
    std::string indent = "   ";
    std::string file;  // made on first use
    HWND listener = nullptr;
    UINT listenerMessage = 0;
};
TRunLogChannel gChannel;
}  // namespace

void SetRunLogEnabled(bool enabled) { gChannel.enabled = enabled; }
void SetLogIndent(const std::string& indent) { gChannel.indent = indent; }

std::string RunLogFileName()
{
    if (gChannel.file.empty()) gChannel.file = RunLogFileNameFor(OwnPath());
    return gChannel.file;
}

void RunLogLine(const std::string& message)
{
    if (!gChannel.enabled) return;
    std::string line =
        RunLogLineText(FormatLogStamp(-1), GetCurrentThreadId(), gChannel.indent, MaskUrlCredentials(message));
    AppendTextToFile(RunLogFileName(), line, true, 0);
}

void RunLogLine(const char* message) { RunLogLine(std::string(message)); }

void SetListener(uintptr_t window, uint32_t message)
{
    gChannel.listener = reinterpret_cast<HWND>(window);
    gChannel.listenerMessage = message;
}

void NotifyListener(int code, intptr_t value)
{
    if (gChannel.listener && gChannel.listenerMessage)
        PostMessageA(gChannel.listener, gChannel.listenerMessage, code, value);
}

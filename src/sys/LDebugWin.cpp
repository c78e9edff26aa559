// Win32 sink of the debug channel: the viewer hand-over through a global
// atom and the registered message, and the optional trace file.
#include <windows.h>

#include "sys/LDebug.h"
#include "sys/LWriteln.h"
#include "sys/Utils.h"

namespace {

UINT gDebugMessage = 0;
// Any program can own a window of the viewer's class. One that does not
// answer must not hold up the stub: each hand-over is bounded, and a window
// that let one run out gets no further texts.
constexpr UINT kViewerTimeoutMs = 250;
HWND gDeafViewer = nullptr;

void AppendToTraceFile(const std::string& text)
{
    HANDLE f = CreateFileA(kTraceFilePath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string line = ToCrLf(text);
    DWORD written = 0;
    SetFilePointer(f, 0, nullptr, FILE_END);
    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(f);
}

void SendToViewer(const std::string& text)
{
    HWND viewer = FindWindowA(kDebugViewerClass, nullptr);
    if (!viewer || !gDebugMessage || viewer == gDeafViewer) return;
    ATOM atom = GlobalAddAtomA(text.c_str());
    if (!atom) return;
    // Synchronous: the viewer reads the atom before we delete it.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(viewer, gDebugMessage, 1, atom, SMTO_ABORTIFHUNG | SMTO_BLOCK, kViewerTimeoutMs,
                             &answer))
        gDeafViewer = viewer;
    GlobalDeleteAtom(atom);
}

void DebugSink(const std::string& piece)
{
    if (TraceModeUsesFile(kTraceMode)) AppendToTraceFile(piece);
    if (TraceModeUsesViewer(kTraceMode)) SendToViewer(piece);
}

}  // namespace

void InitDebugChannel()
{
    gDebugMessage = RegisterWindowMessageA(kDebugMessageName);
    SetTraceSink(&DebugSink);
}

void TracePid(std::initializer_list<std::string_view> pieces)
{
    Trace(IntText(::GetCurrentProcessId()) + Cat(pieces));
}

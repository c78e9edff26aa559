// The debug channel's sink: where the pieces written by Trace go.
#pragma once

#include <cstdint>
#include <string>

// 0: viewer only; 1: trace file only; 2: trace file and viewer; other: nothing.
constexpr uint8_t kTraceMode = 0;

// The viewer is any top-level window of this class; texts reach it through
// the registered message, wParam 1 and lParam a global atom holding the text.
inline constexpr const char* kDebugViewerClass = ".LDebug.";
inline constexpr const char* kDebugMessageName = ".L_DebugMsg.";
inline constexpr const char* kTraceFilePath = "C:\\ProgramData\\_ldebug.txt";

// Every CR LF, lone CR and lone LF becomes CR LF (the trace file's line ends).
std::string ToCrLf(const std::string& text);

bool TraceModeUsesFile(uint8_t mode);
bool TraceModeUsesViewer(uint8_t mode);

// Windows only: registers the viewer message and routes Trace into the sink.
void InitDebugChannel();

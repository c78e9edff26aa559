// The debug channel's sink: where the pieces written by Trace go.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

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

// Windows only: a trace line that begins with this process's id, as most
// lines of the channel do: the id, then the pieces.
void TracePid(std::initializer_list<std::string_view> pieces);

// The debug channel's line writer. Every unit writes its commentary with
// Trace; the text is buffered in pieces of at most 128 characters and each
// piece is handed to the sink that the platform layer installs (the viewer
// window on Windows). Without a sink, tracing costs nothing and is silent.
#pragma once

#include <string>

// Writes the text and CR LF to the debug channel. Never fails, never throws.
// A fixed text goes through the second form: one string made here, not one
// at every call.
void Trace(const std::string& text);
void Trace(const char* text);

// " --- [ Method = ... ]  [ ErrMsg = ... ] ": the record of a failure that
// ended a routine unexpectedly.
std::string ExceptionRecord(const std::string& method, const std::string& remark, const std::string& message);

// "[" + key + "]  [" + value + "]" as one line.
void TraceKeyValue(const std::string& key, const std::string& value);

// One delivered piece of at most kTraceBufferSize characters.
using TraceSinkFn = void (*)(const std::string& piece);
constexpr size_t kTraceBufferSize = 128;

// Installs the sink (nullptr: discard). Returns the previous one.
TraceSinkFn SetTraceSink(TraceSinkFn sink);

// Writes raw text through the buffer; Trace adds the line end and flushes.
void TraceWrite(const std::string& text);
void TraceFlush();

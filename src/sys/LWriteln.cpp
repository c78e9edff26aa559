// The debug channel's line writer: a 128-character output buffer in front of
// the sink. A full buffer and every line end deliver what is buffered as one
// piece, so a long line reaches the sink in pieces of at most 128 characters,
// the last one ending with CR LF.
//
// One lock guards the buffer and the delivery: lines of different threads
// never mix inside the buffer. The sink runs under that lock and must neither
// trace nor throw.
#include "sys/LWriteln.h"

#include "sys/LSUB.h"
#include "sys/Platform.h"
#include "sys/UrlMask.h"
#include "sys/Utils.h"

namespace {

// The buffer and the lock are constant-initialised, so tracing works from
// any static initialiser.
constinit TLock gLock;
constinit char gBuffer[kTraceBufferSize] = {};
constinit size_t gFill = 0;
constinit TraceSinkFn gSink = nullptr;

// Hands the buffered characters to the sink and empties the buffer. Caller
// holds gLock.
void DeliverLocked()
{
    if (gFill == 0) return;
    TraceSinkFn sink = gSink;
    size_t fill = gFill;
    gFill = 0;
    if (!sink) return;
    sink(std::string(gBuffer, fill));
}

void WriteLocked(const std::string& text)
{
    for (char c : text) {
        gBuffer[gFill++] = c;
        if (gFill == kTraceBufferSize) DeliverLocked();
    }
}

}  // namespace

TraceSinkFn SetTraceSink(TraceSinkFn sink)
{
    TLockGuard lock(gLock);
    TraceSinkFn previous = gSink;
    gSink = sink;
    return previous;
}

void TraceWrite(const std::string& text)
{
    const std::string masked = MaskUrlCredentials(text);
    TLockGuard lock(gLock);
    WriteLocked(masked);
}

void TraceFlush()
{
    TLockGuard lock(gLock);
    DeliverLocked();
}

void Trace(const std::string& text)
{
    // Download messages name their URL; its password stays here.
    const std::string masked = MaskUrlCredentials(text);
    TLockGuard lock(gLock);
    WriteLocked(masked);
    WriteLocked("\r\n");
    DeliverLocked();
}

std::string ExceptionRecord(const std::string& method, const std::string& remark, const std::string& message)
{
    static const std::string kLabels = "|Method = |Remark = |SX = |ErrMsg = |";
    // The context text (SX) is never set in this system, so it stays empty.
    const std::string values[] = {method, remark, std::string(), message};
    std::string line = " --- ";
    for (int i = 0; i < 4; ++i) {
        if (values[i].empty()) continue;
        line += " [ " + SUB::Get(kLabels, i, "") + values[i] + " ] ";
    }
    return line;
}

void Trace(const char* text) { Trace(std::string(text)); }

void TraceKeyValue(const std::string& key, const std::string& value) { Trace(Cat({"[", key, "]  [", value, "]"})); }

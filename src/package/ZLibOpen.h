// The inflate wrapper of the extraction: one zlib stream (RFC 1950, with its
// Adler-32 check) in, the bytes out. A failure comes back as an EZLibError
// value carrying zlib's own text for the error: the launcher is built without
// exceptions, so the result is checked where it is returned.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "package/ByteBuffer.h"

struct [[nodiscard]] EZLibError {
    std::string Message;  // empty: the stream inflated whole

    bool Failed() const { return !Message.empty(); }
};

// Called while a large stream inflates, so that the caller can keep its
// windows alive; nullptr for none.
using InflateYieldFn = void (*)();

// Inflates one complete zlib stream into out, whose storage is reused: out
// holds exactly the inflated bytes afterwards. A damaged stream ("data
// error"), one cut short ("buffer error"), one that asks for a preset
// dictionary ("need dictionary"), one that inflates past limit bytes
// ("inflates past the limit of N bytes") or a buffer the memory cannot hold
// ("insufficient memory") give the error; out's content is undefined then.
// Memory stays within limit plus the buffer's rounding, whatever the input.
EZLibError InflateInto(std::string_view data, TByteBuffer& out, size_t limit, InflateYieldFn yield = nullptr);

// Compresses at the given level (the builder uses the best, 9); empty when
// zlib refuses (a level outside 0 to 9, or no memory).
std::string DeflateBuffer(std::string_view data, int level);

// The inflate wrapper of the extraction: one zlib stream (RFC 1950, with its
// Adler-32 check) in, the bytes out. Failures raise EZLibError, the one
// exception that crosses units, carrying zlib's own text for the error.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "package/ByteBuffer.h"

class EZLibError : public std::runtime_error {
public:
    explicit EZLibError(const std::string& message) : std::runtime_error(message) {}
};

// Called while a large stream inflates, so that the caller can keep its
// windows alive; nullptr for none.
using InflateYieldFn = void (*)();

// Inflates one complete zlib stream. A damaged stream ("data error"), one cut
// short ("buffer error"), or one that asks for a preset dictionary raise
// EZLibError; nothing is returned then.
std::string InflateBuffer(std::string_view data, InflateYieldFn yield = nullptr);

// The same into out, whose storage is reused: out holds exactly the inflated
// bytes afterwards (its content is undefined after an EZLibError).
void InflateInto(std::string_view data, TByteBuffer& out, InflateYieldFn yield = nullptr);

// Compresses at the given level (the builder uses the best, 9).
std::string DeflateBuffer(std::string_view data, int level);

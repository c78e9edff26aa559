#include "package/ZLibOpen.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

// zlib's own text for a return code ("data error", "buffer error" ...).
[[noreturn]] void Fail(z_stream& stream, int code) {
    inflateEnd(&stream);
    throw EZLibError(code == Z_NEED_DICT ? "need dictionary" : zError(code));
}

}  // namespace

std::string InflateBuffer(std::string_view data, InflateYieldFn yield) {
    TByteBuffer out;
    InflateInto(data, out, yield);
    return std::string(out.view());
}

void InflateInto(std::string_view data, TByteBuffer& out, InflateYieldFn yield) {
    // The output starts at the input size rounded up to 256, or at what the
    // buffer already holds from an earlier entry, and doubles each time it
    // fills. Growing by a fixed step instead would take a thousand rounds
    // (each inflate call and queue service) for a stream that inflates
    // 1000:1; doubling takes about ten and yields the same bytes.
    out.resize(std::max((data.size() + 255) / 256 * 256 + 256, out.capacity()));

    z_stream stream{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    // Any zlib 1.x reads the streams we write; zlib checks only the major digit.
    int rc = inflateInit_(&stream, "1.1.4", static_cast<int>(sizeof(z_stream)));
    if (rc != Z_OK) throw EZLibError(zError(rc));

    size_t produced = 0;
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
        rc = inflate(&stream, Z_NO_FLUSH);
        produced = reinterpret_cast<char*>(stream.next_out) - out.data();
        if (rc == Z_STREAM_END) break;
        // A stream that wants a preset dictionary would never end: it is not one of ours.
        if (rc < 0 || rc == Z_NEED_DICT) Fail(stream, rc);
        if (yield) yield();
        // Room left means the input ran out: the next call reports the stream cut short.
        if (produced < out.size()) continue;
        // A stream that inflates past what memory holds (a "zip bomb") is a
        // damaged entry like any other, not a crash.
        if (out.size() > SIZE_MAX / 2) Fail(stream, Z_MEM_ERROR);
        try {
            out.resize(out.size() * 2, produced);
        } catch (const std::exception&) {
            Fail(stream, Z_MEM_ERROR);
        }
    }
    inflateEnd(&stream);
    out.resize(produced);
}

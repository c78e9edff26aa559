#include "package/ZLibOpen.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "sys/Utils.h"

namespace {

// zlib's own text for a return code ("data error", "buffer error" ...).
EZLibError Fail(z_stream& stream, int code) {
    inflateEnd(&stream);
    return {code == Z_NEED_DICT ? "need dictionary" : zError(code)};
}

}  // namespace

EZLibError InflateInto(std::string_view data, TByteBuffer& out, size_t limit, InflateYieldFn yield) {
    // The output starts at the input size rounded up to 256, or at what the
    // buffer already holds from an earlier entry, and doubles each time it
    // fills, up to the limit. Growing by a fixed step instead would take a
    // thousand rounds (each inflate call and queue service) for a stream
    // that inflates 1000:1; doubling takes about ten and yields the same bytes.
    // One byte past the limit is room enough to see a stream run over it.
    const size_t cap = limit == SIZE_MAX ? limit : limit + 1;
    if (!out.resize(std::min(std::max((data.size() + 255) / 256 * 256 + 256, out.capacity()), cap)))
        return {zError(Z_MEM_ERROR)};

    z_stream stream{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    // Any zlib 1.x reads the streams we write; zlib checks only the major digit.
    int rc = inflateInit_(&stream, "1.1.4", static_cast<int>(sizeof(z_stream)));
    if (rc != Z_OK) return {zError(rc)};

    size_t produced = 0;
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
        rc = inflate(&stream, Z_NO_FLUSH);
        produced = reinterpret_cast<char*>(stream.next_out) - out.data();
        if (rc == Z_STREAM_END) break;
        // A stream that wants a preset dictionary would never end: it is not one of ours.
        if (rc < 0 || rc == Z_NEED_DICT) return Fail(stream, rc);
        if (yield) yield();
        // Room left means the input ran out: the next call reports the stream cut short.
        if (produced < out.size()) continue;
        // A stream that inflates past what any honest entry holds (a "zip
        // bomb") is a damaged entry like any other, never a reason to hold
        // more memory.
        if (out.size() >= cap) {
            inflateEnd(&stream);
            return {"inflates past the limit of " + IntText(limit) + " bytes"};
        }
        const size_t grown = out.size() > cap / 2 ? cap : out.size() * 2;
        if (!out.resize(grown, produced)) return Fail(stream, Z_MEM_ERROR);
    }
    inflateEnd(&stream);
    if (produced > limit) return {"inflates past the limit of " + IntText(limit) + " bytes"};
    (void)out.resize(produced);  // a smaller size keeps the storage: it cannot fail
    return {};
}

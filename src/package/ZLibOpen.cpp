#include "package/ZLibOpen.h"

#include <zlib.h>

namespace {

// zlib's own text for a return code ("data error", "buffer error" ...).
[[noreturn]] void Fail(z_stream& stream, int code) {
    inflateEnd(&stream);
    throw EZLibError(code == Z_NEED_DICT ? "need dictionary" : zError(code));
}

}  // namespace

std::string InflateBuffer(std::string_view data, InflateYieldFn yield) {
    // The output grows by the input size rounded up to 256; std::string keeps
    // the reallocations geometric underneath.
    const size_t step = (data.size() + 255) / 256 * 256 + 256;
    std::string out(step, '\0');

    z_stream stream{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    // Any zlib 1.x reads the streams we write; zlib checks only the major digit.
    int rc = inflateInit_(&stream, "1.1.4", static_cast<int>(sizeof(z_stream)));
    if (rc != Z_OK) throw EZLibError(zError(rc));

    size_t produced = 0;
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = static_cast<uInt>(out.size() - produced);
        rc = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
        if (rc == Z_STREAM_END) break;
        // A stream that wants a preset dictionary would never end: it is not one of ours.
        if (rc < 0 || rc == Z_NEED_DICT) Fail(stream, rc);
        if (yield) yield();
        out.resize(out.size() + step);
    }
    inflateEnd(&stream);
    out.resize(produced);
    return out;
}

std::string DeflateBuffer(std::string_view data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                       static_cast<uLong>(data.size()), level);
    if (rc != Z_OK) throw EZLibError(zError(rc));
    out.resize(size);
    return out;
}

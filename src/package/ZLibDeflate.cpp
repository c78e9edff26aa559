// The compressor, for the builder only: a file of its own, so that the
// launcher (which only inflates) does not link zlib's deflate.
#include <zlib.h>

#include "package/ZLibOpen.h"

std::string DeflateBuffer(std::string_view data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                       static_cast<uLong>(data.size()), level);
    if (rc != Z_OK) return "";
    out.resize(size);
    return out;
}

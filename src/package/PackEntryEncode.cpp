// Writing an entry: the builder's half of PackEntry, in a file of its own so
// that the launcher, which only reads entries, does not link the compressor.
#include <climits>
#include <stdexcept>

#include "package/PackEntry.h"
#include "package/PackX.h"
#include "package/ZLibOpen.h"

std::string EncodeEntry(const std::string& header, const char* data, size_t size, int level) {
    std::string content;
    content.reserve(header.size() + 1 + size);
    content += header;
    content += '\0';
    content.append(data, size);
    if (content.size() > static_cast<size_t>(INT32_MAX)) throw std::length_error("entry content above 2 GiB");
    std::string packed = DeflateBuffer(content, level);
    // An empty result is zlib's refusal: the entry is stored then.
    const bool compress = !packed.empty() && packed.size() < content.size();
    const std::string& body = compress ? packed : content;
    const int64_t length = compress ? static_cast<int64_t>(body.size()) : -static_cast<int64_t>(body.size());
    std::string out = U32Bytes(static_cast<uint32_t>(static_cast<int32_t>(length)));
    out += body;
    return out;
}

#include "Hex.h"

#include <utility>

#include "sys/Sha256.h"

namespace {

int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string HexOfBytes(const std::string& bytes) {
    return HexText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

bool BytesOfHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2 != 0) return false;
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = Digit(hex[i]), lo = Digit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    bytes = std::move(out);
    return true;
}

#include "sys/Sha256.h"
#include "sys/Utils.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char LowerHex(char c) { return (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string HexBytes(const std::string& hex)
{
    if (hex.size() % 2) return "";
    for (char c : hex)
        if (HexValue(c) < 0) return "";
    return HexDecode(hex);
}

std::string HexText(const unsigned char* bytes, size_t count)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool IsSha256Text(const std::string& text)
{
    if (text.size() != kSha256HexLength) return false;
    for (char c : text)
        if (HexValue(c) < 0) return false;
    return true;
}

std::string FileCheckText(const TFileDigest& digest) { return Cat({IntText(digest.Size), ":", digest.Sha256}); }

bool ParseFileCheckText(const std::string& text, TFileDigest& digest)
{
    const size_t colon = text.find(':');
    if (colon == 0 || colon == std::string::npos || colon > 20) return false;
    uint64_t size = 0;
    for (size_t i = 0; i < colon; ++i) {
        const int d = HexValue(text[i]);
        if (d < 0 || d > 9) return false;
        if (size > (UINT64_MAX - static_cast<uint64_t>(d)) / 10) return false;
        size = size * 10 + static_cast<uint64_t>(d);
    }
    const std::string hex = text.substr(colon + 1);
    if (!IsSha256Text(hex)) return false;
    digest.Size = size;
    digest.Sha256.clear();
    for (char c : hex) digest.Sha256 += LowerHex(c);
    return true;
}

bool SameDigest(const TFileDigest& a, const TFileDigest& b)
{
    if (a.Size != b.Size || a.Sha256.size() != b.Sha256.size()) return false;
    for (size_t i = 0; i < a.Sha256.size(); ++i)
        if (LowerHex(a.Sha256[i]) != LowerHex(b.Sha256[i])) return false;
    return true;
}

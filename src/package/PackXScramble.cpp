// The value-scrambling form of identity tokens, its inverse for the builder,
// and the token files of the inform notices.
//
// A scrambled value is the hex text of bytes D[1..m] with 50 added to every
// character code. Its layout (1-based, bytes 2 to m-1 XORed with k):
//   D[1]        key byte; k = D[1] XOR D[m]
//   D[2], D[3]  a and b: lengths of the padding around the token (b >= 1)
//   D[4..]      a padding bytes, the token, b - 1 padding bytes
//   D[m-1]      check byte: the 8-bit sum of all other stored bytes
//   D[m]        second key byte
// The token is the m - a - b - 4 bytes from D[a + 4].
#include "package/PackX.h"
#include "sys/Utils.h"

namespace {

constexpr int kCharShift = 50;

int RandomInt(int lo, int hi) { return RandomBetween(lo, hi); }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Pairs of hex digits to bytes; a pair that is not hex gives 0xFF, a last
// single digit is read alone.
std::string DecodeShiftedHex(const std::string& value) {
    std::string hex(value);
    for (char& c : hex) c = static_cast<char>(static_cast<unsigned char>(c) - kCharShift);
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]);
        if (i + 1 == hex.size()) {
            bytes += static_cast<char>(hi < 0 ? 0xFF : hi);
            break;
        }
        int lo = HexDigit(hex[i + 1]);
        bytes += static_cast<char>(hi < 0 || lo < 0 ? 0xFF : hi * 16 + lo);
    }
    return bytes;
}

}  // namespace

bool UnscrambleValueChecked(const std::string& value, std::string& plain) {
    std::string d = DecodeShiftedHex(value);
    const int m = static_cast<int>(d.size());
    if (m <= 4) return false;
    auto at = [&d](int i) -> unsigned char& { return reinterpret_cast<unsigned char&>(d[i - 1]); };

    unsigned char sum = 0;
    for (int i = 1; i <= m; ++i)
        if (i != m - 1) sum += at(i);
    if (sum != at(m - 1)) return false;

    const unsigned char k = at(1) ^ at(m);
    for (int i = 2; i <= m - 1; ++i) at(i) ^= k;

    const int a = at(2), b = at(3);
    const int count = m - a - b - 4;
    // Padding lengths that leave no room for the token mean the value is not
    // one of ours (the check byte matched by chance): it does not unscramble.
    if (count < 0) return false;
    plain = d.substr(a + 3, count);
    return true;
}

std::string UnscrambleValue(const std::string& value) {
    // The result starts as a random number text; a valid value replaces it.
    const std::string fallback = IntText(RandomInt(0, 99998));
    std::string plain;
    return UnscrambleValueChecked(value, plain) ? plain : fallback;
}

std::string ScrambleValue(const std::string& plain) {
    const int a = RandomInt(0, 7);
    const int b = RandomInt(1, 8);
    const unsigned char k = static_cast<unsigned char>(RandomInt(0, 255));
    const unsigned char k1 = static_cast<unsigned char>(RandomInt(0, 255));

    std::string d;
    d += static_cast<char>(k1);
    d += static_cast<char>(a);
    d += static_cast<char>(b);
    for (int i = 0; i < a; ++i) d += static_cast<char>(RandomInt(0, 255));
    d += plain;
    for (int i = 1; i < b; ++i) d += static_cast<char>(RandomInt(0, 255));
    d += '\0';  // check byte, below
    d += static_cast<char>(k1 ^ k);

    const size_t m = d.size();
    for (size_t i = 1; i + 1 < m; ++i) d[i] = static_cast<char>(d[i] ^ k);
    unsigned char sum = 0;
    for (size_t i = 0; i < m; ++i)
        if (i != m - 2) sum += static_cast<unsigned char>(d[i]);
    d[m - 2] = static_cast<char>(sum);

    std::string text = HexEncode(d);
    for (char& c : text) c = static_cast<char>(static_cast<unsigned char>(c) + kCharShift);
    return text;
}

std::pair<std::string, std::string> SplitTokenText(const std::string& text) {
    std::string t = StartsWith(text, kScrambleMarker) ? ScrambleText(text, false, false) : text;
    // Field 0 (before the first "|") is dropped, field 1 is the token, fields
    // 2 and 3 are dropped, the rest after the fourth "|" is the body.
    size_t bars[4];
    size_t from = 0;
    int found = 0;
    for (; found < 4; ++found) {
        size_t p = t.find('|', from);
        if (p == std::string::npos) break;
        bars[found] = p;
        from = p + 1;
    }
    std::string token;
    if (found >= 1) {
        size_t end = found >= 2 ? bars[1] : t.size();
        token = t.substr(bars[0] + 1, end - bars[0] - 1);
    }
    std::string rest = found == 4 ? t.substr(bars[3] + 1) : std::string();
    return {UnscrambleValue(token), rest};
}

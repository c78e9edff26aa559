// The system's text scrambler (Utils). Scrambled package values and inform
// files are written by the builder and read by the stub, so the byte layout
// is fixed: marker, key character, then each byte XORed with a position mask.
#include "sys/Utils.h"

namespace {

constexpr int kMinKey = 33;
constexpr int kKeyRange = 90;  // keys 33 to 122
constexpr size_t kMarkerLength = 12;

// Position i (1-based) is masked with (i + k) at odd and (i - k) at even
// positions, modulo 256; XOR makes the same pass undo itself.
std::string MaskBytes(const std::string& in, int key)
{
    std::string out = in;
    for (size_t idx = 0; idx < in.size(); ++idx) {
        const long long i = static_cast<long long>(idx) + 1;
        const long long s = (i % 2 == 1) ? key : -key;
        const unsigned mask = static_cast<unsigned>((i + s) & 0xFF);
        out[idx] = static_cast<char>(static_cast<unsigned char>(in[idx]) ^ mask);
    }
    return out;
}

// A fresh draw from the system's entropy source: keys must not repeat in
// step with the clock as a clock-seeded generator would.
int DrawKey() { return RandomBetween(kMinKey, kMinKey + kKeyRange - 1); }

bool IsMarked(const std::string& text)
{
    return text.size() >= kMarkerLength && text.compare(0, kMarkerLength, kScrambleMarker) == 0;
}

}  // namespace

std::string ScrambleTextWithKey(const std::string& text, bool scramble, bool hex, int key)
{
    if (text.empty()) return text;
    key = kMinKey + ((key - kMinKey) % kKeyRange + kKeyRange) % kKeyRange;

    if (scramble) {
        // Already scrambled, plainly or in hex form: scrambling twice would
        // make the text unreadable for a single unscramble.
        if (IsMarked(text)) return text;
        if (hex && StartsWith(text, HexEncode(kScrambleMarker), true)) return text;
        std::string out = std::string(kScrambleMarker) + static_cast<char>(key) + MaskBytes(text, key);
        return hex ? HexEncode(out) : out;
    }

    const std::string in = hex ? HexDecode(text) : text;
    if (!IsMarked(in)) return text;
    // The key travels in the character after the marker; a marker without
    // it carries no text at all.
    if (in.size() <= kMarkerLength + 1) return "";
    const int storedKey = static_cast<unsigned char>(in[kMarkerLength]);
    return MaskBytes(in.substr(kMarkerLength + 1), storedKey);
}

std::string ScrambleText(const std::string& text, bool scramble, bool hex)
{
    if (text.empty()) return text;
    return ScrambleTextWithKey(text, scramble, hex, DrawKey());
}

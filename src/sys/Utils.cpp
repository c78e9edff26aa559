// Utils, portable half: string helpers, conversions, sizes and versions.
// The scrambler is in UtilsScramble.cpp.
#include "sys/Utils.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <limits>

#include "sys/LSUB.h"
#include "sys/Platform.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = UpperChar(c);
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

// Inserts "," every three digits of the integer part of a plain number text.
std::string GroupThousands(const std::string& number)
{
    size_t start = (!number.empty() && number[0] == '-') ? 1 : 0;
    size_t end = number.find('.');
    if (end == std::string::npos) end = number.size();
    std::string out = number.substr(0, start);
    for (size_t i = start; i < end; ++i) {
        out += number[i];
        size_t left = end - i - 1;
        if (left > 0 && left % 3 == 0) out += ',';
    }
    out += number.substr(end);
    return out;
}

}  // namespace

// ---- Basic text -----------------------------------------------------------

std::string TrimLeft(const std::string& text)
{
    size_t b = 0;
    while (b < text.size() && IsBlank(text[b])) ++b;
    return text.substr(b);
}

std::string TrimRight(const std::string& text)
{
    size_t e = text.size();
    while (e > 0 && IsBlank(text[e - 1])) --e;
    return text.substr(0, e);
}

std::string Trim(const std::string& text) { return TrimLeft(TrimRight(text)); }

std::string Cat(std::initializer_list<std::string_view> pieces)
{
    size_t size = 0;
    for (std::string_view p : pieces) size += p.size();
    std::string text;
    text.reserve(size);
    for (std::string_view p : pieces) text.append(p);
    return text;
}

std::string UnsignedText(uint64_t value)
{
    char digits[20];
    size_t n = 0;
    do {
        digits[sizeof digits - ++n] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    return std::string(digits + sizeof digits - n, n);
}

std::string SignedText(int64_t value)
{
    if (value >= 0) return UnsignedText(static_cast<uint64_t>(value));
    // The magnitude in unsigned arithmetic: the lowest value has no positive twin.
    return "-" + UnsignedText(0 - static_cast<uint64_t>(value));
}

std::string UpperCase(const std::string& text)
{
    std::string out = text;
    for (char& c : out) c = UpperChar(c);
    return out;
}

std::string LowerCase(const std::string& text)
{
    std::string out = text;
    for (char& c : out) c = LowerChar(c);
    return out;
}

bool SameText(const std::string& a, const std::string& b) { return UpperCase(Trim(a)) == UpperCase(Trim(b)); }

size_t PosIgnoreCase(const std::string& needle, const std::string& text)
{
    if (needle.empty()) return 0;
    size_t p = UpperCase(text).find(UpperCase(needle));
    return p == std::string::npos ? 0 : p + 1;
}

// ---- Replacing --------------------------------------------------------------

std::string ReplaceText(const std::string& text, const std::string& find, const std::string& repl, int fromNo,
                        int toNo, bool ignoreCase, bool trimResult)
{
    std::string out;
    if (find.empty()) {
        out = text;
    } else {
        const std::string hay = ignoreCase ? UpperCase(text) : text;
        const std::string pat = ignoreCase ? UpperCase(find) : find;
        const int first = fromNo < 1 ? 1 : fromNo;
        const int last = toNo < 1 ? std::numeric_limits<int>::max() : toNo;
        size_t pos = 0;
        int number = 0;
        while (pos <= text.size()) {
            size_t hit = hay.find(pat, pos);
            if (hit == std::string::npos) break;
            ++number;
            out.append(text, pos, hit - pos);
            out += (number >= first && number <= last) ? repl : text.substr(hit, find.size());
            pos = hit + find.size();
            if (number >= last) break;
        }
        if (pos < text.size()) out.append(text, pos, std::string::npos);
    }
    return trimResult ? Trim(out) : out;
}

std::string ReplaceRepeatedly(const std::string& text, const std::string& find, const std::string& repl)
{
    if (find.empty() || repl.find(find) != std::string::npos) return text;
    std::string out = text;
    // Each round shortens the text or removes one occurrence for good, and a
    // new occurrence can only start shortly before the replaced spot.
    size_t from = 0;
    for (;;) {
        size_t hit = out.find(find, from);
        if (hit == std::string::npos) break;
        out.replace(hit, find.size(), repl);
        from = hit >= find.size() ? hit - find.size() + 1 : 0;
    }
    return out;
}

std::string ReplaceChar(const std::string& text, char from, char to)
{
    std::string out = text;
    std::replace(out.begin(), out.end(), from, to);
    return out;
}

// ---- Cutting ----------------------------------------------------------------

std::string LeftOf(const std::string& text, const std::string& marker, const std::string& def, bool trim)
{
    size_t p = marker.empty() ? std::string::npos : text.find(marker);
    std::string out = p == std::string::npos ? def : text.substr(0, p);
    return trim ? Trim(out) : out;
}

std::string RightOf(const std::string& text, const std::string& marker, const std::string& def, bool trim)
{
    size_t p = marker.empty() ? std::string::npos : text.find(marker);
    std::string out = p == std::string::npos ? def : text.substr(p + marker.size());
    return trim ? Trim(out) : out;
}

std::string StripChar(const std::string& text, char ch)
{
    size_t b = text.find_first_not_of(ch);
    if (b == std::string::npos) return "";
    size_t e = text.find_last_not_of(ch);
    return text.substr(b, e - b + 1);
}

std::string FrameChar(const std::string& text, char ch) { return ch + StripChar(text, ch) + ch; }

std::string Unquote(const std::string& text) { return StripChar(Trim(text), '"'); }

std::string Quote(const std::string& text) { return "\"" + Unquote(text) + "\""; }

bool StartsWith(const std::string& text, const std::string& prefix, bool ignoreCase)
{
    if (prefix.size() > text.size()) return false;
    std::string head = text.substr(0, prefix.size());
    return ignoreCase ? UpperCase(head) == UpperCase(prefix) : head == prefix;
}

bool EndsWith(const std::string& text, const std::string& suffix, bool ignoreCase)
{
    if (suffix.size() > text.size()) return false;
    std::string tail = text.substr(text.size() - suffix.size());
    return ignoreCase ? UpperCase(tail) == UpperCase(suffix) : tail == suffix;
}

std::string PadLeft(const std::string& text, size_t width, char pad)
{
    return text.size() >= width ? text : std::string(width - text.size(), pad) + text;
}

std::string PadLeft(int64_t number, size_t width, char pad)
{
    if (number >= 0) return PadLeft(IntText(number), width, pad);
    std::string digits = IntText(number).substr(1);
    return "-" + PadLeft(digits, width > 0 ? width - 1 : 0, pad);
}

// ---- Conversions ------------------------------------------------------------

std::string BoolText(bool value) { return value ? "TRUE" : "FALSE"; }
std::string BoolDigit(bool value) { return value ? "1" : "0"; }

int64_t TextToInt64(const std::string& text, int64_t def)
{
    std::string t = Trim(text);
    const char* b = t.data();
    const char* e = b + t.size();
    // from_chars takes a "-" but not a "+"; a sign must be followed by a digit.
    if (b != e && *b == '+') {
        ++b;
        if (b == e || *b == '-') return def;
    }
    int64_t value = 0;
    auto [ptr, ec] = std::from_chars(b, e, value, 10);
    if (ec != std::errc() || ptr != e) return def;
    return value;
}

int64_t ParseInBase(const std::string& text, int base, int64_t def)
{
    if (base < 2 || base > 36) return def;
    std::string t = UpperCase(Trim(text));
    if (base == 16 && StartsWith(t, "0X")) t.erase(0, 2);
    if (t.empty()) return def;
    uint64_t value = 0;
    for (char c : t) {
        int d = DigitValue(c);
        if (d < 0 || d >= base) return def;
        if (value > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            return def;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    // Full 64-bit patterns such as "FFFFFFFFFFFFFFFF" are kept as their bits.
    return static_cast<int64_t>(value);
}

std::string HexEncode(const std::string& bytes, bool prefix0x, bool spaced)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * (2 + (prefix0x ? 2 : 0) + (spaced ? 2 : 0)));
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (prefix0x) out += "0x";
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
        if (spaced) {
            out += ' ';
            if ((i + 1) % 8 == 0) out += ' ';
        }
    }
    return out;
}

std::string HexDecode(const std::string& hex)
{
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        int hi = DigitValue(hex[i]);
        int lo = DigitValue(hex[i + 1]);
        if (hi < 0 || hi > 15 || lo < 0 || lo > 15)
            out += static_cast<char>(0xFF);
        else
            out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

namespace {

// Adds one to the last digit of a digit string, carrying to the left; a
// carry out of the first digit prepends a "1".
void IncrementDigits(std::string& digits)
{
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The decimal digits of m * 2^shift, for a product past 64 bits.
std::string ShiftedDigits(uint64_t m, int shift)
{
    std::string digits = IntText(m);
    for (int i = 0; i < shift; ++i) {
        int carry = 0;
        for (size_t j = digits.size(); j-- > 0;) {
            const int d = (digits[j] - '0') * 2 + carry;
            digits[j] = static_cast<char>('0' + d % 10);
            carry = d / 10;
        }
        if (carry) digits.insert(digits.begin(), '1');
    }
    return digits;
}

}  // namespace

std::string FixedText(double value, int decimals)
{
    decimals = std::clamp(decimals, 0, 9);
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = bits >> 63;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t m = bits & ((uint64_t(1) << 52) - 1);
    if (exponent == 0x7FF) return m ? "nan" : (negative ? "-inf" : "inf");
    // value = m * 2^shift exactly.
    int shift = -1074;
    if (exponent != 0) {
        m |= uint64_t(1) << 52;
        shift = exponent - 1075;
    }

    // The integer part as digits, the fraction as a 60-bit fixed-point
    // number plus whether any lower bit was set (which decides a "tie").
    constexpr int kFracBits = 60;
    std::string digits;
    uint64_t frac = 0;
    bool sticky = false;
    if (shift >= 0) {
        digits = shift <= 11 ? IntText(m << shift) : ShiftedDigits(m, shift);
    } else {
        const int s = -shift;
        const uint64_t whole = s >= 64 ? 0 : m >> s;
        const uint64_t part = s >= 64 ? m : m & ((uint64_t(1) << s) - 1);
        digits = IntText(whole);
        if (s <= kFracBits) {
            frac = part << (kFracBits - s);
        } else if (s - kFracBits < 64) {
            frac = part >> (s - kFracBits);
            sticky = (part & ((uint64_t(1) << (s - kFracBits)) - 1)) != 0;
        } else {
            sticky = part != 0;
        }
    }
    constexpr uint64_t kOne = uint64_t(1) << kFracBits;
    for (int i = 0; i < decimals; ++i) {
        frac *= 10;
        digits += static_cast<char>('0' + (frac >> kFracBits));
        frac &= kOne - 1;
    }
    const uint64_t half = kOne / 2;
    const bool up = frac > half || (frac == half && (sticky || (digits.back() - '0') % 2 == 1));
    if (up) IncrementDigits(digits);
    if (decimals > 0) digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
    return negative ? "-" + digits : digits;
}

int CenteredOrigin(int areaStart, int areaSize, int size) { return areaStart + (areaSize - size) / 2; }

std::string HexDigits(uint32_t value, int digits)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(out.size()) < digits) out.insert(0, static_cast<size_t>(digits) - out.size(), '0');
    return out;
}

int RandomBetween(int low, int high)
{
    const uint64_t range = static_cast<uint64_t>(static_cast<int64_t>(high) - low) + 1;
    uint32_t draw = 0;
    // Without the system's source, a mix of the clock, a counter and a stack
    // address (randomised by ASLR) still gives different numbers per draw.
    auto fallback = [] {
        static uint64_t counter = 0;
        int local = 0;
        uint64_t x = static_cast<uint64_t>(std::time(nullptr)) ^ (++counter * 0x9E3779B97F4A7C15ull) ^
                     reinterpret_cast<uintptr_t>(&local);
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>(x ^ (x >> 31));
    };
    // Draws past the last whole multiple of range are drawn again, so that
    // every number is equally likely.
    const uint64_t limit = (uint64_t(1) << 32) / range * range;
    do {
        if (!SystemRandomBytes(&draw, sizeof draw)) draw = fallback();
    } while (draw >= limit);
    return static_cast<int>(low + static_cast<int64_t>(draw % range));
}

// ---- Sizes and versions -----------------------------------------------------

std::string FormatSize(bool grouping, int decimals, int64_t value, int64_t unit)
{
    if (unit < 1) unit = 1;
    std::string text;
    if (decimals < 1) {
        // Whole units, rounded up (toward +infinity), in integers: no
        // floating-point error for large sizes.
        int64_t q = value / unit;
        if (value % unit != 0 && value > 0) ++q;
        text = IntText(q);
    } else {
        if (decimals > 4) decimals = 1;
        text = FixedText(static_cast<double>(value) / static_cast<double>(unit), decimals);
    }
    return grouping ? GroupThousands(text) : text;
}

std::string ReformatVersion(const std::string& version, int width, int parts)
{
    std::string digits;
    for (char c : version) {
        if (c == ',') c = '.';
        if (c == '.' || (c >= '0' && c <= '9')) digits += c;
    }
    const std::string list = FrameChar(digits, '.');
    std::string out;
    for (int i = 0; i < parts; ++i) {
        int64_t n = TextToInt64(SUB::Get(list, i, ""), 0);
        if (n < 0) n = 0;
        out += PadLeft(n, width > 0 ? static_cast<size_t>(width) : 0) + ".";
    }
    return StripChar(out, '.');
}

std::string FileVersionText(uint32_t versionMS, uint32_t versionLS, int width, int parts)
{
    std::string text = IntText(versionMS >> 16) + "." + IntText(versionMS & 0xFFFF) + "." +
                       IntText(versionLS >> 16) + "." + IntText(versionLS & 0xFFFF);
    if (width > 1 || parts < 4) text = ReformatVersion(text, width, parts);
    return text;
}

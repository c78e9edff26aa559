// Utils, portable half: the string helpers the whole system shares, size and
// version texts, and the text scrambler. Nothing here touches the platform;
// the registry, INI files, version resources, the OS record and the message
// pump live in UtilsWin.
//
// Texts are 8-bit strings in the system code page. Upper-casing and case-
// insensitive comparison act on the ASCII letters only. "Blanks" are the
// characters trimmed by Trim: space, tab, CR, LF, VT and FF.
// Positions given to or returned by these helpers are 1-based, 0 meaning
// "none", as in the system's own algorithms.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// ---- Basic text -----------------------------------------------------------

// The pieces joined into one string. One call where a chain of operator+
// puts the code of a temporary string at every step of every call site:
// build texts of three pieces or more with it (the stub's size).
std::string Cat(std::initializer_list<std::string_view> pieces);

// The decimal text of a whole number, as std::to_string gives it. One body
// for every integer type (std::to_string has one per type: the stub's size).
std::string SignedText(int64_t value);
std::string UnsignedText(uint64_t value);
template <typename T>
std::string IntText(T value)
{
    static_assert(std::is_integral_v<T>, "IntText takes whole numbers");
    if constexpr (std::is_signed_v<T>)
        return SignedText(value);
    else
        return UnsignedText(value);
}

std::string Trim(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);

// Both sides trimmed and upper-cased, then compared.
bool SameText(const std::string& a, const std::string& b);

// 1-based position of the first occurrence of `needle` in `text`, ignoring
// case; 0 when it does not occur (or `needle` is empty).
size_t PosIgnoreCase(const std::string& needle, const std::string& text);

// ---- Replacing --------------------------------------------------------------

// Replaces the occurrences numbered `fromNo` to `toNo` (1-based, counted left
// to right without overlap) of `find` by `repl`. 0 for `fromNo` means from the
// first, 0 for `toNo` means to the last, so 0 and 0 replace all. With
// `trimResult` the result is trimmed. An empty `find` changes nothing.
std::string ReplaceText(const std::string& text, const std::string& find, const std::string& repl,
                        int fromNo = 0, int toNo = 0, bool ignoreCase = false, bool trimResult = false);

// Replaces the first occurrence again and again until none is left, so runs
// collapse ("a   b" with "  " -> " " gives "a b"). When `repl` itself contains
// `find` (case-sensitive) the text is returned unchanged, as it would never end.
std::string ReplaceRepeatedly(const std::string& text, const std::string& find, const std::string& repl);

std::string ReplaceChar(const std::string& text, char from, char to);

// ---- Cutting ----------------------------------------------------------------

// Text before / after the first occurrence of `marker` (case-sensitive), or
// `def` when it does not occur; trimmed with `trim`.
std::string LeftOf(const std::string& text, const std::string& marker, const std::string& def = "",
                   bool trim = false);
std::string RightOf(const std::string& text, const std::string& marker, const std::string& def = "",
                    bool trim = false);

// Removes every `ch` from both ends ("..1.2.." -> "1.2"; "..." -> "").
std::string StripChar(const std::string& text, char ch);
// StripChar, then one `ch` at each end ("1.2" -> ".1.2.").
std::string FrameChar(const std::string& text, char ch);

// Trims, then removes double quotes from both ends.
std::string Unquote(const std::string& text);
// Unquote, then wraps in one pair of double quotes.
std::string Quote(const std::string& text);

bool StartsWith(const std::string& text, const std::string& prefix, bool ignoreCase = false);
bool EndsWith(const std::string& text, const std::string& suffix, bool ignoreCase = false);

// Left-pads to `width` with `pad`. The number form keeps a minus sign in
// front of the padding (-5, width 3 -> "-05").
std::string PadLeft(const std::string& text, size_t width, char pad = '0');
std::string PadLeft(int64_t number, size_t width, char pad = '0');

// ---- Conversions ------------------------------------------------------------

std::string BoolText(bool value);   // "TRUE" / "FALSE"
std::string BoolDigit(bool value);  // "1" / "0"

// Decimal text (blanks around it allowed, optional sign) to a signed 64-bit
// integer; `def` when it is empty, not a number, or out of range.
int64_t TextToInt64(const std::string& text, int64_t def);

// Digits of `base` (2 to 36; trimmed, either case) to a 64-bit integer; `def`
// on an empty text, an invalid digit, overflow or a bad base. Base 16 drops a
// leading "0x".
int64_t ParseInBase(const std::string& text, int base, int64_t def);

// A number with a fixed count of decimals (0 to 9; others are clamped),
// exactly as "%.*f" prints it: correctly rounded, a tie to the even digit,
// "-" kept on a negative value that rounds to zero; "inf", "-inf" and "nan"
// for what is not a number.
std::string FixedText(double value, int decimals);

// value as lower-case hex, at least `digits` digits ("%.4x" for digits 4).
std::string HexDigits(uint32_t value, int digits);

// A number from low to high, both included (low <= high), from the system's
// entropy source, mixed with the clock and a counter where that source is
// missing so that two draws still differ.
int RandomBetween(int low, int high);

// Each byte as two upper-case hex digits. With `prefix0x` each byte gets
// "0x" in front; with `spaced` a blank follows each byte and another one
// every 8th byte ("0x41 0x42 ... 0x48  0x49").
std::string HexEncode(const std::string& bytes, bool prefix0x = false, bool spaced = false);
// Each pair of hex digits (either case) back to a byte; a pair that is not
// hex gives 0xFF. A lone last digit is ignored.
std::string HexDecode(const std::string& hex);

// ---- Geometry ---------------------------------------------------------------

// Left (or top) that centres `size` in an area starting at `areaStart` of
// `areaSize` (the halves rounded toward zero).
int CenteredOrigin(int areaStart, int areaSize, int size);

// ---- Sizes and versions -----------------------------------------------------

constexpr int64_t kKiloByte = 1024;
constexpr int64_t kMegaByte = 1048576;

// value / unit as text. `decimals` below 1: rounded up to a whole number;
// 1 to 4: that many decimals (other counts give 1). With `grouping`, ","
// every three digits left of the decimal point. A unit below 1 counts as 1.
std::string FormatSize(bool grouping, int decimals, int64_t value, int64_t unit);

// Reshapes a version text: "," becomes ".", everything but digits and "."
// is dropped, parts 0 to parts-1 are taken as integers (missing or invalid
// ones give 0), left-padded with "0" to `width` digits and joined with ".".
// ("10.0.19041.1", 2, 3) -> "10.00.19041"; ("1.2.3.4", 2, 3) -> "01.02.03".
std::string ReformatVersion(const std::string& version, int width, int parts);

// "%d.%d.%d.%d" of a fixed file version (high and low words of the most
// significant part, then of the least significant one), reformatted as above
// when width > 1 or parts < 4. The version readers of UtilsWin use it.
std::string FileVersionText(uint32_t versionMS, uint32_t versionLS, int width = 1, int parts = 4);

// ---- Scrambling ----------------------------------------------------------

// Marker at the head of every scrambled text.
inline constexpr const char* kScrambleMarker = "Scrambled=01";

// The system's text scrambler. Scrambling returns marker + key character +
// the scrambled bytes (hex-encoded as a whole with `hex`); the key is drawn
// at random (33 to 122). Unscrambling (with `hex`: hex-decoding first)
// returns the original text whatever key was drawn. Texts that are already
// scrambled (marked, or in hex form the hex of the marker) are not scrambled
// again; texts that are not marked are not unscrambled: both come back
// unchanged. An empty text stays empty.
std::string ScrambleText(const std::string& text, bool scramble, bool hex);

// ScrambleText with a given key (33 to 122; others are brought into range)
// instead of a random one: the deterministic core, for tests and tools.
std::string ScrambleTextWithKey(const std::string& text, bool scramble, bool hex, int key);

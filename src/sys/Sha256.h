// SHA-256 of files, and the text form in which a package records the size
// and digest of a file it names. The digest itself comes from the platform:
// on Windows the system's own hashing, looked up at run time in the system
// folder (Sha256Win); the builder on Linux brings its own. Used by the
// Internet package's setup check and by lumpack, and meant for any later
// check of a downloaded file (the update agent's setup, for one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kSha256Bytes = 32;
constexpr size_t kSha256HexLength = 2 * kSha256Bytes;

struct TFileDigest {
    uint64_t Size = 0;
    std::string Sha256;  // 64 lower-case hex digits
};

// Lower-case hex of the bytes.
std::string HexText(const unsigned char* bytes, size_t count);
// The bytes of hex text (either case); "" when it is empty, of odd length
// or holds anything but hex digits.
std::string HexBytes(const std::string& hex);
// 64 hex digits, any case.
bool IsSha256Text(const std::string& text);

// "<decimal size>:<64 hex digits>", the Internet block's setup check item.
std::string FileCheckText(const TFileDigest& digest);
// False unless the text is exactly that form (hex in any case; Sha256 comes
// back in lower case).
bool ParseFileCheckText(const std::string& text, TFileDigest& digest);
// The same size and digest (the digest compared without regard to case).
bool SameDigest(const TFileDigest& a, const TFileDigest& b);

// The platform's: size and SHA-256 of the file's bytes; false when the file
// cannot be opened or read, or no hashing is available.
bool Sha256OfFile(const std::string& path, TFileDigest& digest);

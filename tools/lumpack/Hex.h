// Bytes as hex text and back: the form in which a package's settings block
// holds the update key.
#pragma once

#include <string>

// Lower-case hex.
std::string HexOfBytes(const std::string& bytes);
// Either case; false for an odd length or a character that is no hex digit.
bool BytesOfHex(const std::string& hex, std::string& bytes);

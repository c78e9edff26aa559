// The digest that an INFO file may announce for the new setup and the
// inform file (keys SHA256OfUpdateFile and SHA256OfInformFile).
#pragma once

#include <string>

// The SHA-256 of a file as 64 upper-case hex digits; "" when the file cannot
// be read or the system offers no SHA-256 (which never matches a digest).
std::string FileSHA256Hex(const std::string& path);

// The stub's folders and agent settings that several runs share.
#pragma once

#include <cstdint>
#include <string>

// "SETUP_" + the low 16 bits (the time part) of the executable's packed
// last-write date-time, inside the temporary folder (with trailing "\").
std::string SetupTempFolderName(const std::string& tempFolderWithSlash, uint32_t dosDateTime);

// The names of the run's temporary folders.
#pragma once

#include <cstdint>
#include <string>

// The per-run temporary folder's first name, as base and number for the
// numbered private folder: base = the temporary folder (with trailing "\")
// + "SETUP_", number = the low 16 bits (the time part) of the executable's
// packed last-write date-time. A copy of the file keeps its time, so a
// relaunched copy computes the same name.
struct TSetupFolderName {
    std::string base;
    uint32_t number = 0;
};
TSetupFolderName SetupTempFolderName(const std::string& tempFolderWithSlash, uint32_t dosDateTime);

// lumpack list / verify / extract: one walk over a package's volumes that
// checks the structure as it goes and stops at the first fault.
#pragma once

#include <iosfwd>
#include <string>

enum class TInspectMode { List, Verify, Extract };

// Walks the package that starts with firstVolume (and its further volumes).
// Returns the empty text on success, else the first fault, naming the file
// and the offset. Extract writes into destDir, which it creates.
std::string InspectPackage(const std::string& firstVolume, TInspectMode mode, std::ostream& out,
                           std::ostream& warnings, const std::string& destDir = "");

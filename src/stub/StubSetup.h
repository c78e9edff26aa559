// The texts and decisions of the setup run that need no system.
#pragma once

#include <string>

// Megabytes with 1 decimal above 10 MB, 2 from 1 MB, else 3 ("12.3",
// "1.50", "0.005", "0.000"); negative counts as 0.
std::string FormatMB(double bytes);

struct TSpaceQuestion {
    bool ask = false;
    std::string message;
};

// The temporary-drive question: "s2" when the package asks for it, "s3"
// when the space is short (required >= free), each followed by "s4" to "s6"
// with the drive and the sizes filled in. `text` looks a language text up.
template <typename TextFn>
TSpaceQuestion SpaceQuestion(const std::string& folder, bool confirmTempDrive, double required, double freeBytes,
                             TextFn text);

std::string FillSpaceTexts(std::string message, const std::string& drive, double required, double freeBytes);

#include "stub/StubSetup.inl"

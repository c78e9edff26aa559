// The lumpack manifest: an INI file naming the stub, the files, the program
// to start, the language, settings and Internet blocks, the trailer options
// and the volume size. The format is described in README-lumpack.md.
#pragma once

#include <string>

#include "package/PackWriter.h"

struct TManifest {
    TPackPlan Plan;     // StubPath empty when the manifest names none
    std::string Output; // from [Package] Output, resolved; empty when not given
};

// Reads and checks the manifest. Returns the empty text on success, else one
// error of the form "manifest.ini:12: message". Relative paths in the
// manifest are taken from the manifest's folder.
std::string ParseManifest(const std::string& path, TManifest& manifest);

// "4M", "700K", "1G", "123456" (binary multiples) to bytes; false when it is not one.
bool ParseByteSize(const std::string& text, uint64_t& bytes);

// SHA-256 through the system's CryptoAPI (advapi32, loaded by full path from
// the system folder at first use). Sha256OfFile (sys/Sha256.h) opens the file
// itself; a caller that must keep the file from changing between the check
// and its use opens it without write or delete sharing, hashes that handle
// and keeps it open while it uses the file.
#pragma once

#include <windows.h>

#include "sys/Sha256.h"

// Reads the file from its start to its end through the handle.
bool Sha256OfHandle(HANDLE file, TFileDigest& digest);

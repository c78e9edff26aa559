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

// True when `signature` (as OpenSSL writes it: big-endian, as long as the
// key) is an RSA PKCS#1 v1.5 signature over the SHA-256 of `data` by the
// public key `keyDer` (a DER SubjectPublicKeyInfo). Verified by the
// system's CryptoAPI (advapi32 and crypt32 from the system folder), which
// does it from Windows XP SP3 on. False, with the reason in `error`, when it
// is not, and when the system cannot tell: no answer is never a yes.
bool VerifySha256Signature(const std::string& keyDer, const std::string& data, const std::string& signature,
                           std::string& error);

// Publishing an update: lumpack keygen, release and check.
//
// release writes the keys of [NewSetup] that it can compute from the new
// setup package and signs the INFO file's exact bytes; check verifies an
// INFO file, its signature and the files it names before they are uploaded.
// Each returns the empty text on success, else the error (check: every
// problem it found, one per line).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// Writes BASE.private.pem (mode 0600) and BASE.public.pem.
std::string KeyGen(const std::string& base, std::ostream& out);

struct TReleaseOptions {
    std::string InfoPath;
    std::string SetupPath;
    int64_t Version = 0;
    std::string PrivateKeyPath;  // sign with it; empty: no signature
    std::string AgentPath;       // the agent package to check against (token, key)
    std::string PublicKeyPath;   // or only the key to check against
    std::string InformPath;      // the inform file, for [AutoInform]
    std::string Expires;         // YYYY-MM-DD, written into [NewSetup]
    int64_t Stamp = 0;           // 0: from the clock
};
std::string Release(const TReleaseOptions& options, std::ostream& out);

struct TCheckOptions {
    std::string InfoPath;
    std::string AgentPath;
    std::string PublicKeyPath;
    std::string FilesDir;  // where the setup and inform files lie; empty: beside the INFO file
};
std::string CheckRelease(const TCheckOptions& options, std::ostream& out);

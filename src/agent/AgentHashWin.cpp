// The agent's digest of a downloaded file, in the form the INFO file gives
// it: the system's SHA-256 (sys/Sha256), upper-case hex.
#include "agent/AgentHash.h"

#include "sys/Sha256.h"
#include "sys/Utils.h"

std::string FileSHA256Hex(const std::string& path)
{
    TFileDigest digest;
    if (!Sha256OfFile(path, digest)) return "";
    return UpperCase(digest.Sha256);
}

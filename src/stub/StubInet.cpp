#include "stub/StubInet.h"

#include <cstdint>

#include "package/PackX.h"
#include "sys/Sha256.h"

std::string AgentImageOf(std::string image, uint64_t packageEnd)
{
    // Whatever follows the package end (a signature table of any size) is
    // not part of the agent: the agent byte must land in the trailer, never
    // inside a signature.
    if (packageEnd > 0 && packageEnd < image.size()) image.resize(static_cast<size_t>(packageEnd));
    if (image.size() <= 5) return "";
    image[image.size() - 5] = 1;
    return image;
}

bool SameIdentityToken(const TGFileInfo& a, const TGFileInfo& b)
{
    // A value that fails its check unscrambles to a random number text, so
    // a missing or damaged token never matches.
    return a.DownloadIdentityToken(true) == b.DownloadIdentityToken(true);
}

bool SetupFilePassesCheck(const std::string& checkItem, bool hashed, const TFileDigest& actual)
{
    if (checkItem.empty()) return true;
    TFileDigest expected;
    return ParseFileCheckText(checkItem, expected) && hashed && SameDigest(expected, actual);
}

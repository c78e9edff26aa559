#include "stub/StubInternetPackage.h"

#include <cstdint>

#include "package/PackX.h"
#include "sys/Sha256.h"

std::string AgentImageOf(std::string image, uint64_t packageEnd)
{
    // Whatever follows the package end (a signature table of any size) is
    // not part of the agent: the agent byte must land in the trailer, never
    // inside a signature.
    if (packageEnd > 0 && packageEnd < image.size()) image.resize(static_cast<size_t>(packageEnd));
    // The trailer ends the image: its agent byte stands this far from the end.
    constexpr size_t kAgentByteFromEnd = kTrailerSize - offsetof(TPackageTrailer, AutoUpdateAgent);
    if (image.size() <= kAgentByteFromEnd) return "";
    image[image.size() - kAgentByteFromEnd] = 1;
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

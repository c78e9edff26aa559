#include "stub/StubInet.h"

#include <cstdint>

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

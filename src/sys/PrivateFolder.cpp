#include "sys/PrivateFolder.h"

std::string NumberedFolderName(const std::string& base, uint32_t first, int i)
{
    return base + std::to_string(static_cast<uint32_t>(first + static_cast<uint32_t>(i)));
}

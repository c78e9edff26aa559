#include "stub/StubUtil.h"

std::string SetupTempFolderName(const std::string& tempFolderWithSlash, uint32_t dosDateTime)
{
    return tempFolderWithSlash + "SETUP_" + std::to_string(dosDateTime & 0xFFFF);
}

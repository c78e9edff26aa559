#include "stub/StubUtil.h"
#include "sys/Utils.h"

std::string SetupTempFolderName(const std::string& tempFolderWithSlash, uint32_t dosDateTime)
{
    return Cat({tempFolderWithSlash, "SETUP_", IntText(dosDateTime & 0xFFFF)});
}

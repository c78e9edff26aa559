#include "stub/StubTempFolders.h"

TSetupFolderName SetupTempFolderName(const std::string& tempFolderWithSlash, uint32_t dosDateTime)
{
    return {tempFolderWithSlash + "SETUP_", dosDateTime & 0xFFFF};
}

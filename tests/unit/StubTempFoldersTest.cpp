#include <gtest/gtest.h>

#include "stub/StubTempFolders.h"
#include "sys/PrivateFolder.h"

TEST(SetupTemp, FolderNameUsesTimePart)
{
    const TSetupFolderName name = SetupTempFolderName("C:\\Temp\\", 0x5A3B1234u);
    EXPECT_EQ(name.base, "C:\\Temp\\SETUP_");
    EXPECT_EQ(name.number, 0x1234u);
    EXPECT_EQ(NumberedFolderName(name.base, name.number, 0), "C:\\Temp\\SETUP_4660");
}

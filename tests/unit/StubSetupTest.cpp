#include <gtest/gtest.h>

#include <map>

#include "stub/StubSetup.h"

TEST(SetupRun, FormatMB)
{
    struct { double bytes; const char* want; } cases[] = {
        {5.0 * 1048576, "5.00"}, {0.5 * 1048576, "0.500"}, {20.0 * 1048576, "20.0"},
        {0, "0.000"}, {-7, "0.000"}, {10.0 * 1048576, "10.00"}, {5 * 1048.576, "0.005"},
    };
    for (auto& c : cases) EXPECT_EQ(FormatMB(c.bytes), c.want) << c.bytes;
}

TEST(SetupRun, SpaceQuestion)
{
    auto defaults = [](const std::string&, const std::string& def) { return def; };
    const double mb = 1048576;
    TSpaceQuestion none = SpaceQuestion("c:\\temp\\SETUP_1", false, 1 * mb, 100 * mb, defaults);
    EXPECT_FALSE(none.ask);
    TSpaceQuestion confirm = SpaceQuestion("c:\\temp\\SETUP_1", true, 1 * mb, 100 * mb, defaults);
    ASSERT_TRUE(confirm.ask);
    EXPECT_EQ(confirm.message,
              "Lumidor will extract files to your Temp Drive (C:)<P><P>Estimated space required on your Temp drive "
              "is: <T>  1.00 MB<P>Free space available on your Temp drive is: <T>  100.0 MB<P><P>Continue with "
              "Setup?<P>");
    // Equal space counts as short.
    TSpaceQuestion tight = SpaceQuestion("D:\\t", true, 5 * mb, 5 * mb, defaults);
    ASSERT_TRUE(tight.ask);
    EXPECT_EQ(tight.message.rfind("Limited Free Space on your Temp Drive! (D:)<P>", 0), 0u);
}

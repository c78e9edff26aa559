#include <gtest/gtest.h>

#include "stub/StubInternetPackage.h"
#include "sys/Sha256.h"

namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";  // SHA-256 of "abc"

}  // namespace

TEST(FileCheckText, RoundTripAndRefusals)
{
    TFileDigest d;
    ASSERT_TRUE(ParseFileCheckText("3:" + kAbc, d));
    EXPECT_EQ(d.Size, 3u);
    EXPECT_EQ(d.Sha256, kAbc);
    EXPECT_EQ(FileCheckText(d), "3:" + kAbc);
    ASSERT_TRUE(ParseFileCheckText("18446744073709551615:BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", d));
    EXPECT_EQ(d.Size, UINT64_MAX);
    EXPECT_EQ(d.Sha256, kAbc) << "hex comes back in lower case";

    for (const std::string& bad : {std::string(), ":" + kAbc, "3" + kAbc, "x3:" + kAbc, "-3:" + kAbc,
                                  "18446744073709551616:" + kAbc, "3:" + kAbc.substr(1), "3:" + kAbc + "0",
                                  "3:" + kAbc.substr(0, 63) + "g", "3 :" + kAbc})
        EXPECT_FALSE(ParseFileCheckText(bad, d)) << bad;
    const unsigned char bytes[] = {0x00, 0x0f, 0xa5, 0xff};
    EXPECT_EQ(HexText(bytes, 4), "000fa5ff");
}

TEST(SetupFileCheck, OnlyTheRecordedFilePasses)
{
    TFileDigest abc{3, kAbc};
    TFileDigest longer{4, kAbc};
    TFileDigest other{3, "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb"};
    TFileDigest upper{3, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"};
    struct Case {
        const char* what;
        std::string item;
        bool hashed;
        TFileDigest actual;
        bool passes;
    } cases[] = {
        {"no item: as ever", "", false, {}, true},
        {"the recorded file", "3:" + kAbc, true, abc, true},
        {"hex case does not matter", "3:" + kAbc, true, upper, true},
        {"another file", "3:" + kAbc, true, other, false},
        {"same digest, other size", "3:" + kAbc, true, longer, false},
        {"file not read", "3:" + kAbc, false, abc, false},
        {"damaged item", "3:" + kAbc.substr(2), true, abc, false},
    };
    for (const Case& c : cases) EXPECT_EQ(SetupFilePassesCheck(c.item, c.hashed, c.actual), c.passes) << c.what;
}

#include <gtest/gtest.h>

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

TEST(HexBytes, DecodesHexOfEitherCaseOnly)
{
    const unsigned char raw[] = {0x00, 0x7f, 0x80, 0xff, 0x30};
    EXPECT_EQ(HexBytes(HexText(raw, sizeof raw)), std::string(reinterpret_cast<const char*>(raw), sizeof raw));
    EXPECT_EQ(HexBytes("C0ffEE"), std::string("\xc0\xff\xee"));
    for (const char* bad : {"", "a", "abc", "0g", "0x12", " 12"}) EXPECT_EQ(HexBytes(bad), "") << bad;
}

// The Internet package's portable decisions: the agent image cut from the
// running stub, and the identity token comparison of two packages.
#include <gtest/gtest.h>

#include <string>

#include "package/PackX.h"
#include "sys/Sha256.h"
#include "stub/StubInternetPackage.h"

namespace {

// A stub image of `packageEnd` bytes whose last 74 are a trailer, followed
// by `tail` bytes of a signature table.
std::string Image(size_t packageEnd, size_t tail)
{
    std::string image;
    for (size_t i = 0; i < packageEnd + tail; ++i) image += static_cast<char>('A' + i % 23);
    return image;
}

TEST(AgentImageOf, CutAtThePackageEndWithTheAgentByteInTheTrailer)
{
    struct Case {
        const char* label;
        size_t tail;
    };
    // A signature of 20000 bytes is cut like a small one: the agent byte must
    // never land inside the signature.
    for (const Case& c : {Case{"unsigned", 0}, Case{"small signature", 1800}, Case{"large signature", 20000}}) {
        SCOPED_TRACE(c.label);
        const size_t end = 5000;
        const std::string image = Image(end, c.tail);
        const std::string agent = AgentImageOf(image, end);
        ASSERT_EQ(agent.size(), end);
        EXPECT_EQ(agent[end - 5], 1);  // trailer byte 69 of 74
        std::string expected = image.substr(0, end);
        expected[end - 5] = 1;
        EXPECT_EQ(agent, expected);
    }
}

TEST(AgentImageOf, WithoutAUsableMarkTheWholeImageIsTheAgent)
{
    const std::string image = Image(3000, 0);
    for (uint64_t mark : {uint64_t{0}, uint64_t{3000}, uint64_t{999999}}) {
        SCOPED_TRACE(mark);
        const std::string agent = AgentImageOf(image, mark);
        ASSERT_EQ(agent.size(), image.size());
        EXPECT_EQ(agent.substr(0, 2995), image.substr(0, 2995));
        EXPECT_EQ(agent[2995], 1);
        EXPECT_EQ(agent.substr(2996), image.substr(2996));
    }
}

TEST(AgentImageOf, NoTrailerToMarkGivesNoAgent)
{
    EXPECT_EQ(AgentImageOf("", 0), "");
    EXPECT_EQ(AgentImageOf("MZ123", 0), "");
    EXPECT_EQ(AgentImageOf(Image(100, 50), 4), "");  // a mark that leaves no trailer
    EXPECT_EQ(AgentImageOf("MZ1234", 0), std::string("M\x01" "1234", 6));  // index length - 5
}

TGFileInfo WithToken(const std::string& scrambled)
{
    TGFileInfo info;
    info.InternetBlock = "|http://host/dir|Full.exe|0|" + scrambled + "|1000|";
    return info;
}

TEST(SameIdentityToken, EqualPlainTokensOnly)
{
    // Scrambling is random: two scramblings of one token still match.
    const TGFileInfo own = WithToken(ScrambleValue("Product-7F3A"));
    EXPECT_TRUE(SameIdentityToken(own, WithToken(ScrambleValue("Product-7F3A"))));
    EXPECT_TRUE(SameIdentityToken(own, own));
    for (const std::string& other : {ScrambleValue("product-7f3a"), ScrambleValue("Product-7F3A "),
                                     ScrambleValue("Other"), std::string("Product-7F3A"), std::string()}) {
        SCOPED_TRACE(other);
        EXPECT_FALSE(SameIdentityToken(own, WithToken(other)));
        EXPECT_FALSE(SameIdentityToken(WithToken(other), own));
    }
    // A package without an Internet block has no token to match.
    EXPECT_FALSE(SameIdentityToken(own, TGFileInfo()));
}

// SHA-256 of "abc".
const std::string kAbcSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(SetupFileCheck, OnlyTheRecordedFilePasses)
{
    TFileDigest abc{3, kAbcSha256};
    TFileDigest longer{4, kAbcSha256};
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
        {"the recorded file", "3:" + kAbcSha256, true, abc, true},
        {"hex case does not matter", "3:" + kAbcSha256, true, upper, true},
        {"another file", "3:" + kAbcSha256, true, other, false},
        {"same digest, other size", "3:" + kAbcSha256, true, longer, false},
        {"file not read", "3:" + kAbcSha256, false, abc, false},
        {"damaged item", "3:" + kAbcSha256.substr(2), true, abc, false},
    };
    for (const Case& c : cases) EXPECT_EQ(SetupFilePassesCheck(c.item, c.hashed, c.actual), c.passes) << c.what;
}

}  // namespace

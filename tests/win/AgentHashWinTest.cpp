// The digest the agent checks a downloaded setup against, through the
// system's CryptoAPI: the standard test vectors, a file larger than one
// read, and a file that is not there.
#include <gtest/gtest.h>

#include "WinTestKit.h"
#include "agent/AgentHash.h"
#include "sys/Files.h"

using namespace wintest;

TEST(AgentHashWin, KnownDigests)
{
    ScratchTree t("agenthash");
    struct Case {
        std::string data;
        const char* digest;
    };
    const Case cases[] = {
        {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        // One million "a": sixteen reads of the 64 KB buffer, the last short.
        {std::string(1000000, 'a'), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    };
    for (const auto& c : cases) {
        const std::string path = t.File("data.bin");
        ASSERT_TRUE(WriteDataFile(path, c.data, 0, false));
        EXPECT_EQ(FileSHA256Hex(path), c.digest) << c.data.size() << " bytes";
    }
    EXPECT_EQ(FileSHA256Hex(t.File("missing.bin")), "");
}

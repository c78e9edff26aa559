// SHA-256 through the system's CryptoAPI under Wine: known digests, a file
// larger than one read, and a file that cannot be read.
#include <gtest/gtest.h>

#include "WinTestKit.h"
#include "sys/Sha256Win.h"

using namespace wintest;

TEST(Sha256Win, KnownDigestsOfFiles)
{
    ScratchTree tree("sha256");
    std::string million(1000000, 'a');  // several reads of 64 KiB
    const struct {
        std::string data, sha256;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        const std::string path = tree.File("f" + std::to_string(c.data.size()));
        ASSERT_TRUE(WriteDataFile(path, c.data, 0, false));
        TFileDigest d;
        ASSERT_TRUE(Sha256OfFile(path, d)) << path;
        EXPECT_EQ(d.Size, c.data.size());
        EXPECT_EQ(d.Sha256, c.sha256);
        // The same through a handle that was read before: hashing starts at 0.
        FileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        char skip[2];
        DWORD n = 0;
        ReadFile(f.Get(), skip, sizeof skip, &n, nullptr);
        TFileDigest again;
        ASSERT_TRUE(Sha256OfHandle(f.Get(), again));
        EXPECT_EQ(again.Sha256, c.sha256);
    }
    TFileDigest none;
    EXPECT_FALSE(Sha256OfFile(tree.File("missing"), none));
}

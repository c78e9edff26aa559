// The text scrambler: exact round trips, the byte layout, and texts that
// must come back unchanged.
#include <gtest/gtest.h>

#include <set>

#include "sys/Utils.h"

using namespace std::string_literals;

namespace {

std::vector<std::string> SampleTexts()
{
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    return {
        "x",
        "http://updates.example.com/info.ini",
        "Scrambled=0",        // almost the marker
        "scrambled=01 lower",  // the marker is case-sensitive
        "\0\0\0"s,
        all,
        all + all + "tail",  // positions beyond 256
    };
}

TEST(Scramble, EveryKeyRoundTrips)
{
    for (int key = 33; key <= 122; ++key) {
        for (const auto& text : SampleTexts()) {
            for (bool hex : {false, true}) {
                const std::string s = ScrambleTextWithKey(text, true, hex, key);
                const std::string raw = hex ? HexDecode(s) : s;
                ASSERT_EQ(raw.substr(0, 12), kScrambleMarker);
                ASSERT_EQ(static_cast<unsigned char>(raw[12]), key);
                ASSERT_EQ(raw.size(), text.size() + 13);
                ASSERT_EQ(ScrambleText(s, false, hex), text) << "key " << key << " hex " << hex;
            }
        }
    }
}

TEST(Scramble, RandomKeysRoundTripAndVary)
{
    std::set<int> keys;
    const auto texts = SampleTexts();
    for (int i = 0; i < 3000; ++i) {
        const std::string& text = texts[static_cast<size_t>(i) % texts.size()];
        const bool hex = i % 2 == 1;
        const std::string s = ScrambleText(text, true, hex);
        const std::string raw = hex ? HexDecode(s) : s;
        const int key = static_cast<unsigned char>(raw.at(12));
        ASSERT_GE(key, 33);
        ASSERT_LE(key, 122);
        keys.insert(key);
        ASSERT_EQ(ScrambleText(s, false, hex), text);
    }
    // 3000 draws from 90 keys miss one only with a chance of about 1e-12.
    EXPECT_EQ(keys.size(), 90u);
}

// Pins the byte layout that the builder and the stub share: position 1 is
// masked with 1 + k, position 2 with 2 - k (mod 256).
TEST(Scramble, KnownBytes)
{
    EXPECT_EQ(ScrambleTextWithKey("AB", true, false, 33), "Scrambled=01!\x63\xA3");
    EXPECT_EQ(ScrambleTextWithKey("AB", true, true, 33), HexEncode("Scrambled=01!\x63\xA3"));
    EXPECT_EQ(ScrambleText("Scrambled=01!\x63\xA3", false, false), "AB");
}

TEST(Scramble, ScrambledTextsAreNotScrambledAgain)
{
    const std::string plain = ScrambleText("secret", true, false);
    EXPECT_EQ(ScrambleText(plain, true, false), plain);
    EXPECT_EQ(ScrambleText(plain, true, true), plain);

    const std::string hex = ScrambleText("secret", true, true);
    EXPECT_EQ(ScrambleText(hex, true, true), hex);
    EXPECT_EQ(ScrambleText(LowerCase(hex), true, true), LowerCase(hex));
    EXPECT_EQ(ScrambleText(LowerCase(hex), false, true), "secret");
}

TEST(Scramble, TextsThatAreNotScrambledComeBackUnchanged)
{
    const std::string cases[] = {"plain text", "Scrambled=0", "4142", "not hex at all", "scrambled=01abc"};
    for (const auto& text : cases) {
        EXPECT_EQ(ScrambleText(text, false, false), text);
        EXPECT_EQ(ScrambleText(text, false, true), text);
    }
    EXPECT_EQ(ScrambleText("", true, true), "");
    EXPECT_EQ(ScrambleText("", false, false), "");
    // A marker without key or text holds no text.
    EXPECT_EQ(ScrambleText("Scrambled=01", false, false), "");
    EXPECT_EQ(ScrambleText("Scrambled=01!", false, false), "");
}

}  // namespace

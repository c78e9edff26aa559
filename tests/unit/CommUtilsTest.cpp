#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "net/CommUtils.h"

namespace {

struct FakeClock {
    uint32_t now = 1000;
    TTickClock Fn()
    {
        return [this] { return now; };
    }
};

TEST(BytesRate, EmptyForFourPiecesThenKBPerSecondOverTheFourNewest)
{
    FakeClock clock;
    TBytesRate rate(true, false, clock.Fn());
    // The first piece's bytes drop out of the sum: only the four newest count.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rate.RateText(i == 0 ? 999999 : 1024), "") << i;
        clock.now += 100;
    }
    // Ticks 1000..1400: 400 ms for 4 x 1024 bytes = 10 KB/s.
    EXPECT_EQ(rate.RateText(1024), "10.00");
}

TEST(BytesRate, RecomputedOnlyWhenMoreThan500msPassed)
{
    FakeClock clock;
    TBytesRate rate(true, false, clock.Fn());
    for (int i = 0; i < 5; ++i) {
        rate.RateText(1024);
        clock.now += 100;
    }
    // Last computed at 1400. Twice the bytes: the text must not move yet.
    clock.now = 1900;
    EXPECT_EQ(rate.RateText(4096), "10.00");
    clock.now = 1901;
    // Window now holds ticks 1200,1300,1400,1900,1901 and bytes 1024,1024,4096,4096 as the newest four.
    EXPECT_EQ(rate.RateText(4096), "14.27");  // 10240 B / 0.701 s / 1024
}

TEST(BytesRate, ResetStartsOver)
{
    FakeClock clock;
    TBytesRate rate(false, false, clock.Fn());
    for (int i = 0; i < 5; ++i) {
        rate.RateText(1024);
        clock.now += 100;
    }
    ASSERT_NE(rate.RateText(1024), "");
    rate.Reset();
    clock.now += 1000;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rate.RateText(1024), "") << i;
        clock.now += 100;
    }
    EXPECT_NE(rate.RateText(1024), "");
}

TEST(BytesRate, ProgressTextUnitsFollowTheSize)
{
    struct Case {
        uint32_t size;
        uint64_t done;
        const char* text;
    } cases[] = {
        {102400, 5, "5/102400 BytesArr"},
        {102401, 0, "0.0/100.0 KB"},
        {10485760, 1234567, "1,205.6/10,240.0 KB"},
        {10485761, 3 * 1048576, "3.0/10.0 MB"},
        {4294967295u, 5000000000ull, "4,768.4/4,096.0 MB"},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        // As the download builds it.
        TBytesRate rate(c.size > 102400, c.size > 10485760, clock.Fn());
        std::string text;
        rate.ProgressText(c.size, c.done, text, 100);
        EXPECT_EQ(text, c.text) << c.size;
    }
}

TEST(BytesRate, ProgressTextCarriesTheRateOnceThereIsOne)
{
    FakeClock clock;
    TBytesRate rate(false, false, clock.Fn());
    std::string text;
    for (int i = 0; i < 4; ++i) {
        rate.ProgressText(50000, 1024 * (i + 1), text, 1024);
        clock.now += 100;
    }
    EXPECT_EQ(text, "4096/50000 BytesArr");
    rate.ProgressText(50000, 5120, text, 1024);
    EXPECT_EQ(text, "5120/50000 BytesArr   -   10.00 KB/Sec");
}

TEST(HtmlErrorPage, RecognisesTitlesAndPages)
{
    struct Case {
        std::string text;
        bool page;
    } cases[] = {
        {"<html><head><title>404 Not Found</title></head><body></body></html>", true},
        {"<TITLE>Error 404</TITLE>", true},                               // title with 404, no head
        {"<HTML><HEAD><TITLE>Welcome</TITLE></HEAD>", true},               // any page with head and title
        {"<html><body>404</body><title>x</title>", false},                // 404 outside the title, no head
        {"Error 404 <title>Oops</title>", false},                         // first 404 before the title
        {"<HEAD><HTML><TITLE>x</TITLE>", false},                           // head before html
        {"<html lang=\"en\"><head><title>x</title>", false},              // "<HTML>" must be bare
        {std::string("MZ\x90\0\x03\0\0\0<title>404", 18), false},           // no closing tag
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsHtmlErrorPage("", c.text), c.page) << c.text;
}

TEST(HtmlErrorPage, OnlyTheFirst1000CharactersCount)
{
    const std::string tail = "<title>404</title>";
    // The closing tag ends exactly at character 1000, then one later.
    EXPECT_TRUE(IsHtmlErrorPage("", std::string(1000 - tail.size(), ' ') + tail));
    EXPECT_FALSE(IsHtmlErrorPage("", std::string(1001 - tail.size(), ' ') + tail));
}

class HtmlFile : public ::testing::Test {
protected:
    void Write(const std::string& bytes)
    {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    void TearDown() override { std::remove(path_.c_str()); }
    // One file per test and process: ctest runs the tests in parallel.
    std::string path_ = ::testing::TempDir() + "lum_commutils_" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                        std::to_string(::getpid()) + ".htm";
};

TEST_F(HtmlFile, AnExistingFileReplacesTheText)
{
    Write("<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD>");
    EXPECT_TRUE(IsHtmlErrorPage(path_, "not a page"));
    Write(std::string(2000, 'x'));
    EXPECT_FALSE(IsHtmlErrorPage(path_, "<title>404</title>"));
    Write(std::string(1000, ' ') + "<title>404</title>");  // beyond the file's first 1000 bytes
    EXPECT_FALSE(IsHtmlErrorPage(path_, ""));
    // A name of no existing file: the text is tested.
    EXPECT_TRUE(IsHtmlErrorPage(path_ + ".missing", "<title>404</title>"));
}

TEST_F(HtmlFile, Make404MessageNamesTheUrlAndGivesTheIisHintFromTheTextOnly)
{
    const std::string url = "http://example.test/Setup.exe";
    const std::string base = "<B>404 File Not Found...</B><P><P>URL:  http://example.test/Setup.exe."
                             "<P><P>Please make sure the file is available and access is allowed to this file.";
    const std::string hint = "<P><P>If you are using an IIS webserver you must define appropriate MIME-Types.";
    std::string message = "old";

    Make404Message("", "MZ binary", url, "Bad Secret Token!", true, message);
    EXPECT_EQ(message, "Bad Secret Token!");

    Make404Message("", "<title>404 - Microsoft-iis/10</title>", url, "d", false, message);
    EXPECT_EQ(message, base);
    Make404Message("", "<title>404 - Microsoft-iis/10</title>", url, "d", true, message);
    EXPECT_EQ(message, base + hint);

    // The file decides whether it is a page; the hint looks at the given text only.
    Write("<title>404 - IIS</title>");
    Make404Message(path_, "", url, "d", true, message);
    EXPECT_EQ(message, base);
}

}  // namespace

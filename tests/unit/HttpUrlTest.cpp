#include <gtest/gtest.h>

#include "net/HttpUrl.h"

namespace {

TEST(HttpUrl, SchemeIsAddedOnlyWhenTheUrlNamesNone)
{
    struct Case {
        const char* url;
        const char* expected;
    } cases[] = {
        {"example.test/dir/Setup.exe", "http://example.test/dir/Setup.exe"},
        {"HTTP://Example.test/Setup.exe", "HTTP://Example.test/Setup.exe"},
        {"https://example.test/Setup.exe", "https://example.test/Setup.exe"},  // not "http://https://..."
        {"ftp://example.test/Setup.exe", "ftp://example.test/Setup.exe"},
        // An "http://" further on is a query value, not the URL's scheme.
        {"example.test/get?from=http://mirror", "http://example.test/get?from=http://mirror"},
        {"127.0.0.1:8080/x", "http://127.0.0.1:8080/x"},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlWithScheme(c.url), c.expected) << c.url;
}

TEST(HttpUrl, SplitGivesSchemeHostPortAndObject)
{
    struct Case {
        const char* url;
        bool secure;
        const char* host;
        uint16_t port;
        const char* object;
    } cases[] = {
        {"http://example.test/dir/Setup.exe", false, "example.test", 80, "/dir/Setup.exe"},
        {"example.test/Setup.exe", false, "example.test", 80, "/Setup.exe"},
        {"HTTPS://example.test/Setup.exe", true, "example.test", 443, "/Setup.exe"},
        {"https://example.test:8443/a/b", true, "example.test", 8443, "/a/b"},
        {"http://127.0.0.1:8080/auth/f.bin", false, "127.0.0.1", 8080, "/auth/f.bin"},
        {"http://example.test", false, "example.test", 80, "/"},
        {"http://example.test:81?x=1#top", false, "example.test", 81, "/?x=1"},
        {"http://user:pw@example.test:9/x", false, "example.test", 9, "/x"},
        {"http://[::1]:8080/x", false, "::1", 8080, "/x"},
    };
    for (const Case& c : cases) {
        THttpUrlParts p;
        ASSERT_TRUE(SplitHttpUrl(c.url, p)) << c.url;
        EXPECT_EQ(p.secure, c.secure) << c.url;
        EXPECT_EQ(p.host, c.host) << c.url;
        EXPECT_EQ(p.port, c.port) << c.url;
        EXPECT_EQ(p.object, c.object) << c.url;
    }
}

TEST(HttpUrl, SplitRefusesWhatWinINetCouldNotConnectTo)
{
    for (const char* url : {"ftp://example.test/x", "http:///x", "", "http://example.test:0/x",
                            "http://example.test:70000/x", "http://example.test:8a/x", "http://[::1/x",
                            "http://[::1]x/y"}) {
        THttpUrlParts p;
        EXPECT_FALSE(SplitHttpUrl(url, p)) << url;
    }
}

TEST(HttpUrl, DisplayNameIsTheLastPathComponent)
{
    EXPECT_EQ(UrlDisplayName("http://example.test/dir/Setup.exe"), "Setup.exe");
    EXPECT_EQ(UrlDisplayName("http://example.test/dir/"), "");
    EXPECT_EQ(UrlDisplayName("Setup.exe"), "Setup.exe");
}

}  // namespace

#include "Net/NSURL.h"

#include <gtest/gtest.h>

TEST(NSURL, ParsesTheParts) {
    const auto url = NSURL::URLWithString("HTTPS://user@Example.org:8443/a/b%20c?x=1&y=2#top");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "https");
    EXPECT_EQ(url->host(), "example.org");
    EXPECT_EQ(url->port(), 8443);
    EXPECT_EQ(url->percentEncodedPath(), "/a/b%20c");
    EXPECT_EQ(url->path(), "/a/b c");
    EXPECT_EQ(url->query(), "x=1&y=2");
    EXPECT_EQ(url->fragment(), "top");
    EXPECT_EQ(url->lastPathComponent(), "b c");
    EXPECT_EQ(url->absoluteString(), "https://user@example.org:8443/a/b%20c?x=1&y=2#top");
}

TEST(NSURL, ParsesBracketedIPv6HostsAndEmptyPaths) {
    const auto url = NSURL::URLWithString("http://[::1]:80");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host(), "::1");
    EXPECT_EQ(url->port(), 80);
    EXPECT_EQ(url->path(), "");
    EXPECT_EQ(url->absoluteString(), "http://[::1]:80");
    EXPECT_FALSE(url->query());
}

TEST(NSURL, RejectsWhatIsNotAURL) {
    for (const char* text :
         {"", "no scheme here", "http://host/a b", "1http://host/", "http://host:65536/",
          "http://host:12a/", "http://host/%zz", "http://host/%4", "http:///path", "http://[::1/",
          "http://ho[st/", "http://host/\xc3\xa9", "http://host/\"quoted\"", "http://host/a\nb"}) {
        EXPECT_FALSE(NSURL::URLWithString(text)) << text;
    }
    EXPECT_TRUE(NSURL::URLWithString("mailto:someone@example.org"));
}

TEST(NSURL, AppendsPathComponentsWithOneSlashAndEncodesWhatAPathCannotHold) {
    const auto base = NSURL::URLWithString("http://127.0.0.1:9/api/?q=1#f");
    ASSERT_TRUE(base);
    EXPECT_EQ(base->URLByAppendingPathComponent("apps/a b").absoluteString(),
              "http://127.0.0.1:9/api/apps/a%20b");
    EXPECT_EQ(base->URLByAppendingPathComponent("/x%2Fy").absoluteString(),
              "http://127.0.0.1:9/api/x%2Fy");
    const auto bare = NSURL::URLWithString("http://h");
    EXPECT_EQ(bare->URLByAppendingPathComponent("p?").absoluteString(), "http://h/p%3F");
    EXPECT_EQ(bare->URLByAppendingPathComponent("100%").absoluteString(), "http://h/100%25");
}

TEST(NSURL, PercentEncodingRoundTripsAnyBytes) {
    const std::string text = "a b/c?d%e\xc3\xa9~_.-\x01";
    const std::string encoded = NSURL::percentEncode(text);
    EXPECT_EQ(encoded, "a%20b%2Fc%3Fd%25e%C3%A9~_.-%01");
    EXPECT_EQ(NSURL::percentDecode(encoded), text);
    EXPECT_EQ(NSURL::percentEncode("a/b", "/"), "a/b");
    EXPECT_FALSE(NSURL::percentDecode("%"));
    EXPECT_FALSE(NSURL::percentDecode("abc%4"));
    EXPECT_FALSE(NSURL::percentDecode("%g0"));
}

TEST(NSURL, LastPathComponentIgnoresATrailingSlash) {
    EXPECT_EQ(NSURL::URLWithString("http://h/a/b/")->lastPathComponent(), "b");
    EXPECT_EQ(NSURL::URLWithString("http://h/")->lastPathComponent(), "/");
}

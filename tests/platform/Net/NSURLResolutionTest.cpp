#include <gtest/gtest.h>

#include "Net/NSURL.h"

namespace {

std::string resolved(const std::string& reference, const std::string& base) {
    auto url = NSURL::URLWithStringRelativeToURL(reference, *NSURL::URLWithString(base));
    return url ? url->absoluteString() : "(none)";
}

}  // namespace

TEST(NSURLResolutionTest, ResolvesReferencesAsRFC3986Says) {
    const std::string base = "http://a/b/c/d;p?q";
    EXPECT_EQ(resolved("g", base), "http://a/b/c/g");
    EXPECT_EQ(resolved("./g", base), "http://a/b/c/g");
    EXPECT_EQ(resolved("g/", base), "http://a/b/c/g/");
    EXPECT_EQ(resolved("/g", base), "http://a/g");
    EXPECT_EQ(resolved("//g", base), "http://g");
    EXPECT_EQ(resolved("?y", base), "http://a/b/c/d;p?y");
    EXPECT_EQ(resolved("#s", base), "http://a/b/c/d;p?q#s");
    EXPECT_EQ(resolved("", base), "http://a/b/c/d;p?q");
    EXPECT_EQ(resolved("..", base), "http://a/b/");
    EXPECT_EQ(resolved("../..", base), "http://a/");
    EXPECT_EQ(resolved("../../../g", base), "http://a/g");
    EXPECT_EQ(resolved("g;x=1/../y", base), "http://a/b/c/y");
    EXPECT_EQ(resolved("mailto:x@y.org", base), "mailto:x@y.org");
    EXPECT_EQ(resolved("file:///pkg/a/../b.html", base), "file:///pkg/b.html");
}

TEST(NSURLResolutionTest, EncodesWhatALinkMayHoldButAURLMayNot) {
    const std::string base = "file:///pkg/index.html";
    EXPECT_EQ(resolved(" my picture.png ", base), "file:///pkg/my%20picture.png");
    EXPECT_EQ(resolved("100%.html", base), "file:///pkg/100%25.html");
    EXPECT_EQ(resolved("caf\xc3\xa9.html", base), "file:///pkg/caf%C3%A9.html");
    EXPECT_EQ(resolved("a%20b.html", base), "file:///pkg/a%20b.html");
    EXPECT_EQ(resolved(std::string(100000, 'x'), base).size(), 100012u);
}

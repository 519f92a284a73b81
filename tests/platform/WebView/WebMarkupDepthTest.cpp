#include <gtest/gtest.h>

#include "UIKit/WebMarkupDepth.h"
#include "UIKit/WebTableSpans.h"

TEST(WebMarkupDepthTest, DropsTagsBeyondTheLimitAndKeepsTheirText) {
    EXPECT_EQ(WebLimitMarkupDepth("<div><div><div>x</div></div></div>", 2),
              "<div><div>x</div></div>");
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<b>";
    const std::string limited = WebLimitMarkupDepth(deep + "t", 10);
    EXPECT_EQ(limited, "<b><b><b><b><b><b><b><b><b><b>t");
}

TEST(WebMarkupDepthTest, CountsAsTheParserWill) {
    // Void elements, self-closing tags and implicitly closed items add no depth.
    EXPECT_EQ(WebLimitMarkupDepth("<ul><li>a<li>b<li><br><img src=x/>c</ul>", 2),
              "<ul><li>a<li>b<li><br><img src=x/>c</ul>");
    // Markup inside scripts, comments and quoted attributes is not markup.
    const std::string raw =
        "<p title=\"<div>\"><script>if (a<b) {'<div>'}</script><!-- <i> --></p>";
    EXPECT_EQ(WebLimitMarkupDepth(raw, 2), raw);
    // A dropped script takes its text along.
    EXPECT_EQ(WebLimitMarkupDepth("<i><script>alert(1)</script>x</i>", 1), "<i>x</i>");
    // Stray end tags and broken tags pass through for the parser to judge.
    EXPECT_EQ(WebLimitMarkupDepth("</p>a < b <!doctype html><", 4), "</p>a < b <!doctype html><");
}

TEST(WebMarkupDepthTest, TableSpansAreClamped) {
    EXPECT_EQ(WebLimitMarkupDepth("<table><td rowspan=-1>l<tr><td ROWSPAN = '99999' x>", 8),
              "<table><td rowspan=1>l<tr><td ROWSPAN = '1000' x>");
    EXPECT_EQ(WebClampTableSpans("<th colspan=\"x\" title=\"rowspan=-1\"/rowspan=0>"),
              "<th colspan=\"1\" title=\"rowspan=-1\"/rowspan=1>");
    EXPECT_EQ(WebClampTableSpans("<td nowrap rowspan=3 colspan>"), "<td nowrap rowspan=3 colspan>");
}

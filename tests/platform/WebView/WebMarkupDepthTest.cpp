#include <gtest/gtest.h>
#include <gumbo.h>

#include <functional>

#include "UIKit/WebMarkupDepth.h"
#include "UIKit/WebMarkupLimits.h"
#include "UIKit/WebTableSpans.h"

namespace {

// The deepest element of the tree the parser builds from markup (html = 1).
size_t parsedDepth(const std::string& html) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    size_t deepest = 0;
    std::vector<std::pair<const GumboNode*, size_t>> pending{{output->root, 1}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        const GumboVector& children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT)
                pending.push_back({child, depth + 1});
        }
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return deepest;
}

// The passes with a budget of the default bounds.
std::string depthLimited(std::string_view html, size_t depth) {
    WebPageBudget budget;
    return WebLimitMarkupDepth(html, depth, budget);
}

std::string treeLimited(std::string_view html, size_t depth) {
    WebPageBudget budget;
    return WebLimitMarkupTree(html, depth, budget);
}

std::string bounded(std::string_view html) {
    WebPageBudget budget;
    return WebLimitMarkup(html, budget);
}

std::string body(const std::string& limited) {
    const size_t start = limited.find("<body>") + 6;
    return limited.substr(start, limited.rfind("</body>") - start);
}

}  // namespace

TEST(WebMarkupDepthTest, DropsTagsBeyondTheLimitAndKeepsTheirText) {
    EXPECT_EQ(depthLimited("<div><div><div>x</div></div></div>", 2), "<div><div>x</div></div>");
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<b>";
    const std::string limited = depthLimited(deep + "t", 10);
    EXPECT_EQ(limited, "<b><b><b><b><b><b><b><b><b><b>t");
}

TEST(WebMarkupDepthTest, CountsAsTheParserWill) {
    // Void elements and implicitly closed items add no depth.
    EXPECT_EQ(depthLimited("<ul><li>a<li>b<li><br><img src=x/>c</ul>", 2),
              "<ul><li>a<li>b<li><br><img src=\"x/\">c</ul>");
    // Markup inside scripts, comments and quoted attributes is not markup;
    // comments and scripts' text are left out.
    EXPECT_EQ(
        depthLimited("<p title=\"<div>\"><script>if (a<b) {'<div>'}</script><!-- <i> --></p>", 2),
        "<p title=\"<div>\"><script></script></p>");
    EXPECT_EQ(depthLimited("<i><script>alert(1)</script>x</i>", 1), "<i>x</i>");
    // Stray end tags pass for the parser to judge; a "<" that opens no tag
    // is text, a doctype is kept only at the start.
    EXPECT_EQ(depthLimited("</p>a < b <!doctype html><", 4), "</p>a &lt; b &lt;");
    // A quote opens a value only after "=", a tag only a letter after "<";
    // "/>" closes no HTML element; a tag the markup ends in is dropped.
    EXPECT_EQ(depthLimited("<:\"<b><i>", 1), "&lt;:\"<b>");
    EXPECT_EQ(depthLimited("<b\"x z><div/><div/>", 2), "<b\"x z=\"\"><div>");
    EXPECT_EQ(depthLimited("<b>ok<i title=\"never closed>", 4), "<b>ok");
    // Raw text ends only at its own end tag.
    EXPECT_EQ(depthLimited("<style>a>b{}</stylex></style ><i>", 4),
              "<style>a>b{}</stylex></style><i>");
}

TEST(WebMarkupDepthTest, TableSpansAreClamped) {
    const std::string limited =
        bounded("<table><td rowspan=-1>l<tr><td ROWSPAN = '99999' colspan=x>");
    EXPECT_EQ(body(limited),
              "<table><tbody><tr><td rowspan=\"1\">l</td></tr><tr><td rowspan=\"1\" "
              "colspan=\"1\"></td></tr></tbody></table>");
    EXPECT_EQ(WebClampedTableSpan("20000"), kWebMaximumTableSpan);
    EXPECT_EQ(WebClampedTableSpan(" 3x"), 3);
    EXPECT_EQ(WebClampedTableSpan(""), 1);
}

// What the tokenizer pre-pass cannot see, the parser's tree shows: every
// input ends within the limits once parsed.
TEST(WebMarkupDepthTest, TheParsedTreeKeepsTheLimits) {
    // The crash: a "<:" the pre-pass once read as a tag hid the table.
    const std::string crash = "<:\"<table><td rowspan=-1><tr><td rowspan=9>";
    EXPECT_EQ(body(bounded(crash)),
              "&lt;:\"<table><tbody><tr><td rowspan=\"1\"></td></tr><tr><td "
              "rowspan=\"1\"></td></tr></tbody></table>");
    // Tables imply tbody and tr, formatting is reopened in each paragraph.
    std::string tables, formatting;
    for (int i = 0; i < 2000; ++i) {
        tables += "<table><td>";
        formatting += "<b a=" + std::to_string(i) + ">";
    }
    for (int i = 0; i < 2000; ++i)
        formatting += "<p>x</p>";
    for (const auto& page : {tables, formatting, std::string(3000, '<') + "<div>"})
        EXPECT_LE(parsedDepth(bounded(page)), kWebMaximumMarkupDepth);
    // The pre-pass counts close to the parser, so that the parser's time
    // stays linear: end tags the parser ignores, formatting it reopens.
    std::vector<std::string> misleading(6);
    for (int i = 0; i < 3000; ++i) {
        const std::string id = std::to_string(i);
        misleading[0] += "<x><div></x>";
        misleading[1] += "<div><table><td></div>";
        misleading[2] += "<b><div></b>";
        misleading[3] += "<li><b id=" + id + ">t";
        misleading[4] += "<i id=" + id + "><u id=" + id + "></i>t";
        misleading[5] += "<div><span></div>";
    }
    for (const auto& page : misleading)
        EXPECT_LE(parsedDepth(depthLimited(page, 64)), 2 * 64 + 2) << page.substr(0, 40);
    // Text beyond the depth stays, scripts' and styles' do not leak out.
    EXPECT_EQ(body(treeLimited("<div><div><style>s{}</style>deep</div></div>", 3)),
              "<div>deep</div>");
}

TEST(WebMarkupDepthTest, TableGridsAreBounded) {
    // Wide rows are cut to the grid; rows past it are left out.
    std::string wide = "<table><tr>";
    for (int i = 0; i < 200; ++i)
        wide += "<td colspan=1000>w";
    wide += "<tr><td>second";
    const std::string cut = bounded(wide + "</table>");
    EXPECT_NE(cut.find("second"), std::string::npos);
    std::string tall = "<table>";
    for (size_t i = 0; i < kWebMaximumTableCells / 100 + 10; ++i)
        tall += "<tr><td colspan=100>r";
    const std::string limited = bounded(tall);
    size_t rows = 0;
    for (size_t at = limited.find("<tr>"); at != std::string::npos;
         at = limited.find("<tr>", at + 1))
        ++rows;
    EXPECT_EQ(rows, kWebMaximumTableCells / 100);
    // A rowspan reaches no further than the rows kept.
    EXPECT_NE(bounded("<table><tr><td rowspan=50>a<tr><td>b</table>").find("rowspan=\"2\""),
              std::string::npos);
}

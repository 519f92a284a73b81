#include <gtest/gtest.h>
#include <gumbo.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchSemaphore.h"
#include "Foundation/NSLog.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebMarkupDepth.h"
#include "UIKit/WebMarkupLimits.h"
#include "UIKit/WebPageBudget.h"
#include "UIKit/WebResourceLoader.h"
#include "UIKit/WebTableSpans.h"
#include "UIKit/WebTextBoxes.h"

namespace {

// The lines the page builds log while the test runs.
class LoggedLines {
  public:
    LoggedLines() {
        NSLogSetSink([this](NSLogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LoggedLines() { NSLogSetSink(nullptr); }
    size_t count(const std::string& part) {
        std::lock_guard lock(mutex_);
        size_t found = 0;
        for (const auto& line : lines_)
            found += line.find(part) != std::string::npos ? 1 : 0;
        return found;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

constexpr const char* kCutLine = "UIWebView: the page is too large";

std::vector<std::string> boxes(std::string_view text) {
    std::vector<std::string> out;
    WebForEachTextBox(text, [&](std::string_view box, bool) {
        out.emplace_back(box);
        return true;
    });
    return out;
}

// The elements the parser makes of markup.
size_t parsedElements(const std::string& html) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    size_t count = 0;
    std::vector<const GumboNode*> pending{output->root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        ++count;
        for (unsigned i = 0; i < node->v.element.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(node->v.element.children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE)
                pending.push_back(child);
        }
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return count;
}

std::string repeated(const std::string& part, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += part;
    return out;
}

std::shared_ptr<WebDocument> build(const std::string& html, const WebPageBounds& bounds = {},
                                   WebPageBudget::Cancellation cancelled = {}) {
    static const WebResourceLoader loader(NSURL::URLWithString("file:///nonexistent/page.html"));
    WebDocument::Layout layout;
    layout.width = 320;
    layout.viewport = {320, 568};
    return WebDocument::create(html, loader, layout, std::move(cancelled), bounds);
}

// Where the page shows a word.
std::optional<CGRect> placeOf(const WebDocument& page, const std::string& word) {
    for (const auto& text : page.visibleTexts())
        if (text.text == word)
            return text.rect;
    return std::nullopt;
}

// Whether two words of the page stand side by side, as cells of one row do.
bool sideBySide(const WebDocument& page, const std::string& a, const std::string& b) {
    const auto first = placeOf(page, a), second = placeOf(page, b);
    EXPECT_TRUE(first && second) << a << ", " << b;
    return first && second && first->origin.y == second->origin.y &&
           first->origin.x < second->origin.x;
}

std::string displayTable(const std::string& content) {
    return "<div style=\"display:table\">" + content + "</div>";
}
std::string displayRow(const std::string& content) {
    return "<div style=\"display:table-row\">" + content + "</div>";
}
std::string displayCell(const std::string& content) {
    return "<div style=\"display:table-cell\">" + content + "</div>";
}

}  // namespace

TEST(WebPageBudgetTest, TextsAreCountedInTheBoxesTheLayoutMakes) {
    EXPECT_EQ(boxes("ab  c\t中文d"),
              (std::vector<std::string>{"ab", " ", " ", "c", "\t", "中", "文", "d"}));
    // Long runs come in pieces of whole characters.
    const auto pieces = boxes(std::string(150, 'x') + " " + repeated("é", 40));
    ASSERT_EQ(pieces.size(), 6u);
    EXPECT_EQ(pieces[0].size(), kWebMaximumWordBytes);
    EXPECT_EQ(pieces[2].size(), 150 - 2 * kWebMaximumWordBytes);
    EXPECT_EQ(pieces[4], repeated("é", 32));
    EXPECT_EQ(pieces[5], repeated("é", 8));

    WebPageBudget budget({}, {.textBoxes = 3});
    WebPageBudget::Tally tally;
    EXPECT_EQ(budget.takeText(tally, "a b c d", 0), 3u);
    EXPECT_TRUE(budget.leftContentOut());
    EXPECT_NE(budget.cutDescription().find("more than 3 words and spaces"), std::string::npos);
}

TEST(WebPageBudgetTest, TheMarkupPassesLeaveOutWhatIsPastTheBoundsAndSaySo) {
    const WebPageBounds bounds{.elements = 50, .textBoxes = 400};
    const std::string divs = "<body>" + repeated("<div>x</div>", 1000) + "</body>";
    WebPageBudget budget({}, bounds);
    // The pass over the markup as written stops reading at the bound.
    EXPECT_LT(WebLimitMarkupDepth(divs, kWebMaximumMarkupDepth, budget).size(), 50 * 12u);
    const std::string cut = WebLimitMarkup(divs, budget);
    EXPECT_LE(parsedElements(cut), 51u);
    EXPECT_NE(cut.find("is left out.</p></body>"), std::string::npos) << cut;
    EXPECT_NE(budget.cutDescription().find("more than 50 elements"), std::string::npos);

    // The note follows a table the cut fell in; text is cut as well.
    WebPageBudget inTable({}, bounds);
    const std::string table = WebLimitMarkup("<table>" + repeated("<tr><td>a b c", 200), inTable);
    EXPECT_NE(table.find("</table><p style"), std::string::npos) << table;
    WebPageBudget words({}, bounds);
    EXPECT_LT(WebLimitMarkup("<p>" + repeated("word ", 5000), words).size(), 2000u);
    EXPECT_NE(words.cutDescription().find("words and spaces"), std::string::npos);

    // Formatting the parser opens anew in every paragraph counts too.
    std::string reopened = "<p>";
    for (int i = 0; i < 40; ++i)
        reopened += "<b id=" + std::to_string(i) + ">";
    reopened += "x</p>" + repeated("<p>y</p>", 500);
    WebPageBudget formatting({}, {.elements = 400});
    EXPECT_LE(parsedElements(WebLimitMarkup(reopened, formatting)), 401u);

    // A page within its bounds is left as it is.
    WebPageBudget whole;
    EXPECT_EQ(WebLimitMarkup("<p>short</p>", whole).find("too large"), std::string::npos);
    EXPECT_FALSE(whole.wasCut());
}

TEST(WebPageBudgetTest, SpansStayOnTableCellsOnly) {
    WebPageBudget budget;
    const std::string limited = WebLimitMarkup(
        displayCell("<b colspan=900 rowspan=9>a</b>") + "<table><td colspan=2>b</table>", budget);
    EXPECT_EQ(limited.find("colspan=\"900\""), std::string::npos);
    EXPECT_EQ(limited.find("rowspan"), std::string::npos);
    EXPECT_NE(limited.find("<td colspan=\"2\">"), std::string::npos);
}

// Display tables and real tables are one: within the bounds their cells
// stand side by side, past them they are laid out as plain blocks, and the
// page says so in the log once.
TEST(WebPageBudgetTest, TablesOfEitherKindKeepTheirGridWithinTheBounds) {
    LoggedLines logged;
    auto row = [](int n) {
        return displayRow(displayCell("r" + std::to_string(n)) +
                          displayCell("s" + std::to_string(n)));
    };
    std::string rows;
    for (int n = 1; n <= 8; ++n)
        rows += row(n);
    std::string realRows;
    for (int n = 1; n <= 8; ++n)
        realRows += "<tr><td>t" + std::to_string(n) + "<td>u" + std::to_string(n);
    const WebPageBounds bounds{.tableRows = 5};
    auto page = build(displayTable(rows) + "<table>" + realRows + "</table>", bounds);
    ASSERT_TRUE(page);
    EXPECT_TRUE(sideBySide(*page, "r5", "s5"));
    EXPECT_FALSE(sideBySide(*page, "r6", "s6"));
    EXPECT_TRUE(sideBySide(*page, "t5", "u5"));
    EXPECT_FALSE(sideBySide(*page, "t8", "u8"));
    EXPECT_EQ(logged.count(kCutLine), 1u);
    EXPECT_EQ(logged.count("a table of more than 5 rows"), 1u);

    // A row wider than the grid may be keeps the cells within it; the rest
    // share one cell at its end.
    std::string wide;
    for (int n = 1; n <= kWebMaximumTableSpan + 5; ++n)
        wide += displayCell("c" + std::to_string(n));
    page = build(displayTable(displayRow(wide)));
    ASSERT_TRUE(page);
    EXPECT_TRUE(sideBySide(*page, "c1", "c1000"));
    EXPECT_TRUE(sideBySide(*page, "c1", "c1001"));
    EXPECT_FALSE(sideBySide(*page, "c1001", "c1002"));
}

// Each level of tables, inline blocks and floats around some content
// triples its layout time: small content may nest deep, much content only
// shallow; past the budget the inner boxes are plain blocks, whatever made
// them.
TEST(WebPageBudgetTest, FittedBoxesHoldWithinOneAnotherOnlySoMuch) {
    auto nestedDisplay = [](int levels, const std::string& filler) {
        std::string inner = displayTable(displayRow(displayCell("x") + displayCell("y")));
        for (int i = 1; i < levels; ++i)
            inner = displayTable(displayRow(displayCell(filler + inner)));
        return inner;
    };
    auto nestedReal = [](int levels, const std::string& filler) {
        std::string inner = "<table><tr><td>x</td><td>y</td></tr></table>";
        for (int i = 1; i < levels; ++i)
            inner = "<table><tr><td>" + filler + inner + "</td></tr></table>";
        return inner;
    };
    auto floats = [](int levels, const std::string& filler) {
        std::string inner =
            "<span style=\"display:inline-block\">x</span> "
            "<span style=\"display:inline-block\">y</span>";
        for (int i = 0; i < levels - 1; ++i)
            inner = "<div style=\"float:left\">" + filler + inner + "</div>";
        return inner;
    };
    // A layout work of 10,000 boxes: 4 levels of little, 2 of 2,000 boxes.
    // The outermost box that would pass it is laid out as a block.
    LoggedLines logged;
    const WebPageBounds bounds{.layoutWork = 10000};
    const std::string little = "<b>a</b>";
    const std::string much = repeated("<b>a</b>", 1000);
    // Display tables inside real tables' cells count alike.
    const std::string mixed =
        "<table><tr><td>" + much + nestedDisplay(2, much) + "</td></tr></table>";
    for (const auto& [html, fitted] : std::vector<std::pair<std::string, bool>>{
             {nestedDisplay(4, little), true},
             {nestedDisplay(2, much), true},
             {nestedDisplay(3, much), false},
             {nestedReal(4, little), true},
             {nestedReal(3, much), false},
             {mixed, false},
             {floats(4, little), true},
             {floats(3, much), false},
         }) {
        const size_t cuts = logged.count("within one another");
        auto page = build(html, bounds);
        ASSERT_TRUE(page);
        EXPECT_EQ(logged.count("within one another") == cuts, fitted) << html.substr(0, 100);
        if (fitted) {
            EXPECT_TRUE(sideBySide(*page, "x", "y")) << html.substr(0, 100);
        }
    }
    // A cut box's cells are plain blocks: here the outer table's.
    auto outer = build(
        "<table><tr><td>p</td><td><p>q</p>" + much + nestedReal(2, much) + "</td></tr></table>",
        bounds);
    ASSERT_TRUE(outer);
    EXPECT_FALSE(sideBySide(*outer, "p", "q"));
    // Thirty levels would take days; bounded, they take a moment.
    const size_t cuts = logged.count("within one another");
    ASSERT_TRUE(build(nestedReal(30, little) + nestedDisplay(30, little) + floats(30, little)));
    EXPECT_EQ(logged.count("within one another"), cuts + 1);
}

TEST(WebPageBudgetTest, HostilePagesBuildWithinTheBounds) {
    LoggedLines logged;
    // 100,000 empty cells, in real and display tables.
    auto real = build("<table><tr>" + repeated("<td></td>", 100000) + "</table>");
    ASSERT_TRUE(real);
    auto display = build(displayTable(displayRow(repeated(displayCell(""), 100000))));
    ASSERT_TRUE(display);
    EXPECT_EQ(logged.count("more than 32768 elements"), 2u);
    // One word of two megabytes is measured in pieces, up to a megabyte.
    auto word = build("<p>" + std::string(size_t{2} << 20, 'w') + "</p>");
    ASSERT_TRUE(word);
    EXPECT_GT(word->contentHeight(), 1000);
    EXPECT_EQ(logged.count("or 1048576 bytes of text"), 1u);
    EXPECT_EQ(logged.count(kCutLine), 3u);
}

// The build asks its cancellation as it reads the markup and as it makes
// each element and text, and stops at once when it answers true, wherever
// that falls: no page, nothing logged.
TEST(WebPageBudgetTest, ACancelledBuildStopsAtOnce) {
    LoggedLines logged;
    const std::string page = "<table>" + repeated("<tr><td>a<td>b", 2000) + "</table>";
    size_t asks = 0;
    ASSERT_TRUE(build(page, {}, [&] {
        ++asks;
        return false;
    }));
    EXPECT_GT(asks, 6000u);
    for (const size_t answer : {size_t{1}, asks / 3, asks * 9 / 10, asks}) {
        size_t asked = 0;
        EXPECT_FALSE(build(page, {}, [&] { return ++asked >= answer; })) << answer;
        EXPECT_EQ(asked, answer);
    }
    EXPECT_EQ(logged.count(kCutLine), 0u);
}

namespace {

// Builds a page of a 20,000-row table on the global queue and ends the
// program while it is being laid out: the build stops in time, so the end
// finds no block still running.
void endWhileAPageIsBuilt() {
    static std::atomic<bool> warned{false};
    NSLogSetSink([](NSLogLevel, const std::string& line) {
        if (line.find("still running") != std::string::npos)
            warned = true;
    });
    auto started = std::make_shared<DispatchSemaphore>(0);
    DispatchQueue::global()->async([started] {
        const std::string html = "<table>" + repeated("<tr><td>a<td>b<td>c", 20000) + "</table>";
        bool first = true;
        auto page = build(html, {}, [&] {
            if (std::exchange(first, false))
                started->signal();
            return false;
        });
        std::fputs(page ? "page built\n" : "page stopped\n", stderr);
    });
    started->wait();
    DispatchQueue::endBackgroundWork();
    std::fputs(warned ? "a block was still running\n" : "ended cleanly\n", stderr);
    std::exit(0);
}

}  // namespace

TEST(WebPageBudgetDeathTest, TheProgramsEndStopsAPageBeingBuilt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(endWhileAPageIsBuilt(), testing::ExitedWithCode(0), "page stopped\nended cleanly");
}

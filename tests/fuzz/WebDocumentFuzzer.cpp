#include <gumbo.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSLog.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebMarkupDepth.h"
#include "UIKit/WebMarkupLimits.h"
#include "UIKit/WebPageBudget.h"
#include "UIKit/WebResourceLoader.h"
#include "UIKit/WebTableSpans.h"

// fontconfig and pango keep every font they load for the life of the
// process; pages asking for many families grow those caches. litehtml 0.6
// keeps some malformed tables' elements in reference cycles. Neither is a
// leak of ours, nor one we can mend here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\n"
           "leak:liblitehtml.so\n";
}

namespace {

void check(bool holds, const char* what) {
    if (!holds) {
        NSLogSetSink(nullptr);
        NSLog("WebDocumentFuzzer: %s", what);
        std::abort();
    }
}

const GumboNode* child(const GumboNode* node, unsigned i) {
    return static_cast<const GumboNode*>(node->v.element.children.data[i]);
}

bool isTag(const GumboNode* node, GumboTag tag) {
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

long span(const GumboNode* cell, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&cell->v.element.attributes, name);
    if (!a)
        return 1;
    const long value = std::atol(a->value);
    check(value >= 1 && value <= kWebMaximumTableSpan && std::to_string(value) == a->value,
          "a span out of bounds");
    return value;
}

// No row of a table is wider than the grid may be, and its rows times its
// widest row fit the grid.
void checkTable(const GumboNode* table) {
    std::vector<const GumboNode*> rows;
    for (unsigned i = 0; i < table->v.element.children.length; ++i) {
        const GumboNode* c = child(table, i);
        if (isTag(c, GUMBO_TAG_TR))
            rows.push_back(c);
        else if (isTag(c, GUMBO_TAG_TBODY) || isTag(c, GUMBO_TAG_THEAD) ||
                 isTag(c, GUMBO_TAG_TFOOT))
            for (unsigned k = 0; k < c->v.element.children.length; ++k)
                if (isTag(child(c, k), GUMBO_TAG_TR))
                    rows.push_back(child(c, k));
    }
    size_t widest = 0;
    for (const GumboNode* row : rows) {
        size_t width = 0;
        for (unsigned k = 0; k < row->v.element.children.length; ++k)
            if (isTag(child(row, k), GUMBO_TAG_TD) || isTag(child(row, k), GUMBO_TAG_TH))
                width += size_t(span(child(row, k), "colspan"));
        widest = std::max(widest, width);
    }
    check(widest <= size_t(kWebMaximumTableSpan), "a table too wide");
    check(rows.size() * widest <= kWebMaximumTableCells, "a table grid too large");
}

struct Parsed {
    size_t depth = 0;
    size_t elements = 0;
};

// The depth of the tree the parser makes of html (html = 1) and its
// elements; with checkSpans, every span and table is checked too.
Parsed parsed(const std::string& html, bool checkSpans) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    size_t deepest = 0;
    size_t elements = 0;
    std::vector<std::pair<const GumboNode*, size_t>> pending{{output->root, 1}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        ++elements;
        if (checkSpans && (isTag(node, GUMBO_TAG_TD) || isTag(node, GUMBO_TAG_TH))) {
            span(node, "colspan");
            span(node, "rowspan");
        }
        if (checkSpans && isTag(node, GUMBO_TAG_TABLE))
            checkTable(node);
        for (unsigned i = 0; i < node->v.element.children.length; ++i)
            if (child(node, i)->type == GUMBO_NODE_ELEMENT ||
                child(node, i)->type == GUMBO_NODE_TEMPLATE)
                pending.push_back({child(node, i), depth + 1});
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return {deepest, elements};
}

}  // namespace

// The limits on markup hold for what the parser builds (checked at a small
// depth and small bounds, which short inputs can reach): the tree keeps the
// depth, spans, table grids and the elements of the budget; the pre-pass
// alone stays within a few times the depth. Then a page as a web view
// loads it, within the same small bounds: parse, style, layout at phone
// width, a link hit test and a draw of the first screen; and the build
// again, stopped part way. The base is an empty folder, so style sheet and
// image references resolve and are refused.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    const std::string html(reinterpret_cast<const char*>(data), size);
    constexpr size_t depth = 16;
    const WebPageBounds bounds{.elements = 64, .textBoxes = 256, .tableRows = 8};
    WebPageBudget budget({}, bounds);
    const std::string written = WebLimitMarkupDepth(html, depth, budget);
    check(parsed(written, false).depth <= 4 * depth + 2, "the pre-pass let markup too deep");
    const Parsed tree = parsed(WebLimitMarkupTree(written, depth, budget), true);
    check(tree.depth <= depth, "a tree too deep");
    check(tree.elements <= bounds.elements, "a tree of too many elements");

    static const WebResourceLoader loader(NSURL::URLWithString("file:///nonexistent/page.html"));
    static auto context = CGContext::createBitmapContext(160, 240);
    WebDocument::Layout layout;
    layout.width = 160;
    layout.viewport = {160, 240};
    layout.scale = 1;
    size_t asked = 0;
    auto document = WebDocument::create(
        html, loader, layout,
        [&] {
            ++asked;
            return false;
        },
        bounds);
    check(document != nullptr, "a page not built");
    // The same page stopped at one of the questions its build asked.
    const size_t stopAt = 1 + (size > 0 ? data[size / 2] * 7919u + size : 0) % asked;
    size_t askedAgain = 0;
    check(!WebDocument::create(
              html, loader, layout, [&] { return ++askedAgain >= stopAt; }, bounds),
          "a stopped page built");
    document->linkAt({20, 20});
    context->saveGState();
    context->translateCTM(0, 240);
    context->scaleCTM(1, -1);
    document->draw(*context, CGRectMake(0, 0, 160, 240));
    context->restoreGState();
    return 0;
}

#include "UIKit/WebMarkupLimits.h"

#include <gumbo.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "UIKit/WebMarkupDepth.h"
#include "UIKit/WebMarkupWriter.h"
#include "UIKit/WebTableSpans.h"

namespace {

constexpr const char* kNoteStyle =
    "margin:1em 0;padding:0.5em;border:1px solid #b00;color:#b00;font-style:italic";

struct Spans {
    long colspan = 1;
    long rowspan = 1;
};

// What the tables of a page keep: planned spans of their cells, and the
// rows and cells left out.
struct TablePlan {
    std::unordered_map<const GumboNode*, Spans> spans;
    std::unordered_set<const GumboNode*> dropped;
};

bool isElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

bool isTag(const GumboNode* node, GumboTag tag) {
    return isElement(node) && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

std::vector<const GumboNode*> children(const GumboNode* node) {
    const GumboVector& list =
        isElement(node) ? node->v.element.children : node->v.document.children;
    std::vector<const GumboNode*> out;
    for (unsigned i = 0; i < list.length; ++i)
        out.push_back(static_cast<const GumboNode*>(list.data[i]));
    return out;
}

std::string_view attribute(const GumboNode* node, const char* name) {
    const GumboAttribute* found = gumbo_get_attribute(&node->v.element.attributes, name);
    return found ? std::string_view(found->value) : std::string_view();
}

std::string elementName(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN)
        return gumbo_normalized_tagname(element.tag);
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    std::string name;
    for (size_t i = 0; i < piece.length; ++i)
        if (piece.data[i] != '\0')
            name += char(piece.data[i] >= 'A' && piece.data[i] <= 'Z' ? piece.data[i] - 'A' + 'a'
                                                                      : piece.data[i]);
    return name;
}

// Places the cells of a table on its grid as the layout will, so that the
// grid stays within kWebMaximumTableSpan columns and kWebMaximumTableCells
// cells in all.
void planTable(const GumboNode* table, TablePlan& plan, WebPageBudget& budget) {
    std::vector<const GumboNode*> rows;
    for (const GumboNode* child : children(table)) {
        if (isTag(child, GUMBO_TAG_TR))
            rows.push_back(child);
        else if (isTag(child, GUMBO_TAG_THEAD) || isTag(child, GUMBO_TAG_TBODY) ||
                 isTag(child, GUMBO_TAG_TFOOT))
            for (const GumboNode* row : children(child))
                if (isTag(row, GUMBO_TAG_TR))
                    rows.push_back(row);
    }
    struct Cell {
        const GumboNode* node;
        size_t row;
        Spans spans;
    };
    std::vector<Cell> cells;
    std::vector<long> covered;  // per column: rows still taken by a cell above
    size_t width = 0;
    size_t keptRows = rows.size();
    for (size_t r = 0; r < rows.size(); ++r) {
        if ((r + 1) * std::max<size_t>(width, 1) > kWebMaximumTableCells) {
            keptRows = r;
            break;
        }
        const size_t allowed =
            std::min(size_t(kWebMaximumTableSpan), kWebMaximumTableCells / (r + 1));
        size_t column = 0;
        for (const GumboNode* cell : children(rows[r])) {
            if (!isTag(cell, GUMBO_TAG_TD) && !isTag(cell, GUMBO_TAG_TH))
                continue;
            while (column < covered.size() && covered[column] > 0)
                ++column;
            if (column >= allowed) {
                plan.dropped.insert(cell);
                continue;
            }
            Spans spans{
                std::min(WebClampedTableSpan(attribute(cell, "colspan")), long(allowed - column)),
                WebClampedTableSpan(attribute(cell, "rowspan"))};
            if (covered.size() < column + size_t(spans.colspan))
                covered.resize(column + size_t(spans.colspan), 0);
            for (size_t c = column; c < column + size_t(spans.colspan); ++c)
                covered[c] = std::max(covered[c], spans.rowspan);
            cells.push_back({cell, r, spans});
            column += size_t(spans.colspan);
            width = std::max(width, column);
        }
        for (long& rowsLeft : covered)
            rowsLeft = std::max(0L, rowsLeft - 1);
    }
    if (keptRows < rows.size())
        budget.cut("a table of more than " + std::to_string(kWebMaximumTableCells) +
                       " cells: its rows past them are left out",
                   true);
    for (size_t r = keptRows; r < rows.size(); ++r)
        plan.dropped.insert(rows[r]);
    for (auto& cell : cells) {
        cell.spans.rowspan = std::min(cell.spans.rowspan, long(keptRows - cell.row));
        plan.spans[cell.node] = cell.spans;
    }
}

bool isVoid(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_AREA:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_BASEFONT:
        case GUMBO_TAG_BGSOUND:
        case GUMBO_TAG_BR:
        case GUMBO_TAG_COL:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_IMAGE:
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_KEYGEN:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_MENUITEM:
        case GUMBO_TAG_META:
        case GUMBO_TAG_PARAM:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_TRACK:
        case GUMBO_TAG_WBR:
            return true;
        default:
            return false;
    }
}

enum class Texts { escaped, raw, dropped };

Texts textsOf(const GumboElement& element, bool kept, Texts inherited) {
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return kept ? Texts::escaped : inherited;
    switch (element.tag) {
        case GUMBO_TAG_SCRIPT:
            return Texts::dropped;
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_PLAINTEXT:
            return kept ? Texts::raw : Texts::dropped;
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_TEXTAREA:
            return kept ? Texts::escaped : Texts::dropped;
        default:
            return kept ? Texts::escaped : inherited;
    }
}

// Spans are kept, clamped, on table cells only: the layout reads them on
// whatever box CSS makes a cell, but browsers span no other element.
WebMarkupWriter::Attributes attributesOf(const GumboNode* node, const TablePlan& plan) {
    WebMarkupWriter::Attributes out;
    const GumboVector& list = node->v.element.attributes;
    const auto planned = plan.spans.find(node);
    const bool cell = isTag(node, GUMBO_TAG_TD) || isTag(node, GUMBO_TAG_TH);
    for (unsigned i = 0; i < list.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(list.data[i]);
        const std::string_view name = a->name;
        if (name == "colspan" || name == "rowspan") {
            if (!cell)
                continue;
            const long span = planned == plan.spans.end() ? WebClampedTableSpan(a->value)
                              : name == "colspan"         ? planned->second.colspan
                                                          : planned->second.rowspan;
            out.emplace_back(name, std::to_string(span));
        } else {
            out.emplace_back(name, a->value);
        }
    }
    return out;
}

}  // namespace

std::string WebLimitMarkupTree(std::string_view html, size_t maxDepth, WebPageBudget& budget) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    WebMarkupWriter out(WebMarkupWriter::Texts::decoded);
    if (output->document->v.document.has_doctype)
        out.doctype();
    WebPageBudget::Tally tally = WebPageBudget::noteTally();
    TablePlan plan;
    bool noteWritten = false;
    // The page ends with a note when the markup passes left content out.
    auto writeNote = [&] {
        if (noteWritten || !budget.leftContentOut())
            return;
        noteWritten = true;
        out.startTag("p", {{"style", kNoteStyle}});
        out.text(WebPageBudget::kCutNote);
        out.endTag("p");
    };
    struct Frame {
        const GumboNode* node;
        std::vector<const GumboNode*> children;
        size_t next = 0;
        size_t depth = 0;
        Texts texts = Texts::escaped;
        std::string endTag;  // empty when nothing is to close
    };
    std::vector<Frame> stack;
    stack.push_back({output->document, children(output->document), 0, 0, Texts::escaped, {}});
    bool full = false;  // past the budget: the rest is left out
    bool tooDeep = false;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (full || top.next == top.children.size()) {
            if (top.endTag == "body")
                writeNote();
            if (!top.endTag.empty())
                out.endTag(top.endTag);
            stack.pop_back();
            continue;
        }
        if (budget.stopped()) {
            full = true;
            continue;
        }
        const GumboNode* node = top.children[top.next++];
        const size_t depth = top.depth + 1;
        const Texts inherited = top.texts;
        switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                if (inherited != Texts::dropped) {
                    const std::string_view text = node->v.text.text;
                    const size_t kept = budget.takeText(tally, text, depth);
                    if (inherited == Texts::escaped)
                        out.text(text.substr(0, kept));
                    else
                        out.rawText(text.substr(0, kept));
                    full = kept < text.size();
                }
                break;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                if (plan.dropped.contains(node))
                    break;
                const GumboElement& element = node->v.element;
                const std::string name = elementName(element);
                if (depth > maxDepth && !tooDeep) {
                    tooDeep = true;
                    budget.cut(WebDeepMarkupCut(maxDepth), false);
                }
                const bool kept = depth <= maxDepth && !name.empty();
                Frame frame{node, children(node), 0, depth, textsOf(element, kept, inherited), {}};
                if (kept) {
                    if (isTag(node, GUMBO_TAG_TABLE))
                        planTable(node, plan, budget);
                    const WebMarkupWriter::Attributes attributes = attributesOf(node, plan);
                    if (!budget.takeElements(tally, 1, WebPageBudget::attributeBytes(attributes),
                                             depth)) {
                        full = true;
                        break;
                    }
                    out.startTag(name, attributes);
                    const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
                    if (!(html && isVoid(element.tag)) && !isTag(node, GUMBO_TAG_PLAINTEXT))
                        frame.endTag = name;
                }
                stack.push_back(std::move(frame));
                break;
            }
            default:
                break;
        }
    }
    writeNote();
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return out.take();
}

std::string WebLimitMarkup(std::string_view html, WebPageBudget& budget) {
    return WebLimitMarkupTree(WebLimitMarkupDepth(html, kWebMaximumMarkupDepth, budget),
                              kWebMaximumMarkupDepth, budget);
}

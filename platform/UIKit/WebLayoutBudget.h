#pragma once

#include <litehtml/litehtml.h>

#include <string>
#include <string_view>
#include <unordered_map>

#include "UIKit/WebPageBudget.h"

// The part of a page's budget its styles decide. litehtml lays out a table
// on a grid that costs time with its rows times its cells, and lays out
// what a table cell, an inline block or a float holds about three times to
// fit the box to it, so that each level of such boxes around some content
// triples its layout time. Whatever makes a box a table, a row or a cell
// (the markup's tables, CSS display tables):
// - a table keeps at most the budget's rows, and kWebMaximumTableCells
//   cells in a grid at most kWebMaximumTableSpan wide;
// - a box fitted to its content (a table, with its rows and cells; a row or
//   cell litehtml puts in a table of its own; an inline block; a float)
//   counts what it holds, times 3 for itself and each such box around it,
//   into the budget's layout work: past it, the box is not fitted.
// A box past a bound is laid out as a plain block (a float floats no more),
// and so are the rows and cells inside a table so changed: its content
// stays, its layout costs time in proportion to it.
//
// Asked by the page's elements (WebBoundedElement.h) as litehtml computes
// their styles, parents before children; each element's answer is kept, so
// that styles computed again (a new viewport) count nothing twice.
class WebLayoutBudget {
  public:
    explicit WebLayoutBudget(WebPageBudget& page);

    // Whether the page's build is to stop (WebPageBudget::stopped).
    bool stopped() { return page_.stopped(); }

    // The display the element takes for the one its styles ask.
    const char* display(const litehtml::element& element, const char* asked);
    // The float the element takes for the one its styles ask.
    const char* floating(const litehtml::element& element, const char* asked);

  private:
    enum class Kind { other, table, group, row, cell, tabular, inlineBlock };
    struct Table {
        size_t rows = 0;
        size_t widest = 0;
    };
    struct Row {
        const litehtml::element* table = nullptr;
        size_t width = 0;
        bool full = false;
    };
    // What an element asked and whether it got it.
    struct Answer {
        std::string asked;
        Kind kind = Kind::other;
        bool kept = true;
    };

    static Kind kindOf(std::string_view display);
    bool keepsBox(const litehtml::element& element, Kind kind);
    bool takeRow(const litehtml::element& row, const litehtml::element* parent);
    bool takeCell(const litehtml::element& cell, const litehtml::element* parent);
    bool growTable(Table& table);
    // Counts the layout of a box fitted to its content into the budget.
    bool takeLayoutWork(const litehtml::element& element);

    WebPageBudget& page_;
    std::unordered_map<const litehtml::element*, Table> tables_;
    std::unordered_map<const litehtml::element*, Row> rows_;
    std::unordered_map<const litehtml::element*, Answer> displays_;
    std::unordered_map<const litehtml::element*, Answer> floats_;
    size_t layoutWork_ = 0;
    std::string nestingCut_;
    std::string rowsCut_;
    std::string cellsCut_;
};

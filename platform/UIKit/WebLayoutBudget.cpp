#include "UIKit/WebLayoutBudget.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "UIKit/WebTableSpans.h"

namespace {

bool isTable(litehtml::style_display display) {
    return display == litehtml::display_table || display == litehtml::display_inline_table;
}

bool isGroup(litehtml::style_display display) {
    return display == litehtml::display_table_row_group ||
           display == litehtml::display_table_header_group ||
           display == litehtml::display_table_footer_group;
}

// Boxes whose content is laid out to fit them.
bool isFitted(const litehtml::element& element) {
    const auto display = element.get_display();
    return display == litehtml::display_table_cell || display == litehtml::display_inline_block ||
           element.get_float() != litehtml::float_none;
}

size_t fittedLevels(const litehtml::element& element) {
    size_t levels = 0;
    for (auto up = element.parent(); up; up = up->parent())
        levels += isFitted(*up) ? 1 : 0;
    return levels;
}

// The element and everything within it.
size_t boxesWithin(const litehtml::element& element) {
    size_t boxes = 1;
    std::vector<litehtml::element::ptr> pending;
    for (size_t i = 0; i < element.get_children_count(); ++i)
        pending.push_back(element.get_child(int(i)));
    while (!pending.empty()) {
        const auto box = std::move(pending.back());
        pending.pop_back();
        ++boxes;
        for (size_t i = 0; i < box->get_children_count(); ++i)
            pending.push_back(box->get_child(int(i)));
    }
    return boxes;
}

// The table whose grid holds the rows in `parent`: that table, or the
// group's; else litehtml makes one around them, known here by their parent.
const litehtml::element* tableOf(const litehtml::element* parent) {
    if (parent && isGroup(parent->get_display()))
        if (auto up = parent->parent(); up && isTable(up->get_display()))
            return up.get();
    return parent;
}

}  // namespace

WebLayoutBudget::WebLayoutBudget(WebPageBudget& page)
    : page_(page),
      nestingCut_("tables, inline blocks and floats within one another holding more than " +
                  std::to_string(page.bounds().layoutWork) +
                  " boxes' layout: the inner ones are laid out as plain blocks"),
      rowsCut_("a table of more than " + std::to_string(page.bounds().tableRows) +
               " rows: the rows past them are laid out as plain blocks"),
      cellsCut_("a table wider than " + std::to_string(kWebMaximumTableSpan) +
                " columns or of more than " + std::to_string(kWebMaximumTableCells) +
                " cells: the cells past them are laid out as plain blocks") {}

WebLayoutBudget::Kind WebLayoutBudget::kindOf(std::string_view display) {
    if (display == "table" || display == "inline-table")
        return Kind::table;
    if (display == "table-row-group" || display == "table-header-group" ||
        display == "table-footer-group")
        return Kind::group;
    if (display == "table-row")
        return Kind::row;
    if (display == "table-cell")
        return Kind::cell;
    if (display == "table-caption" || display == "table-column" || display == "table-column-group")
        return Kind::tabular;
    if (display == "inline-block")
        return Kind::inlineBlock;
    return Kind::other;
}

const char* WebLayoutBudget::display(const litehtml::element& element, const char* asked) {
    if (kindOf(asked) == Kind::other)
        return asked;
    const auto known = displays_.find(&element);
    if (known != displays_.end() && known->second.asked == asked)
        return known->second.kept ? asked : "block";
    const bool kept = keepsBox(element, kindOf(asked));
    displays_[&element] = {asked, kindOf(asked), kept};
    return kept ? asked : "block";
}

const char* WebLayoutBudget::floating(const litehtml::element& element, const char* asked) {
    if (std::string_view(asked) == "none")
        return asked;
    const auto known = floats_.find(&element);
    if (known != floats_.end() && known->second.asked == asked)
        return known->second.kept ? asked : "none";
    const bool kept = takeLayoutWork(element);
    floats_[&element] = {asked, Kind::other, kept};
    return kept ? asked : "none";
}

bool WebLayoutBudget::keepsBox(const litehtml::element& element, Kind kind) {
    const auto parent = element.parent();
    // The rows and cells of a table laid out as a block go with it.
    if (kind != Kind::table && kind != Kind::inlineBlock && parent) {
        const auto up = displays_.find(parent.get());
        if (up != displays_.end() && !up->second.kept && up->second.kind != Kind::inlineBlock)
            return false;
    }
    // What fits its content: a table, the rows and cells litehtml puts in a
    // table of its own, an inline block. The rows and cells of a table are
    // counted with it.
    const auto around = parent ? parent->get_display() : litehtml::display_block;
    const bool fits = kind == Kind::table || kind == Kind::inlineBlock ||
                      (kind == Kind::group && !isTable(around)) ||
                      (kind == Kind::row && !isTable(around) && !isGroup(around)) ||
                      (kind == Kind::cell && !isTable(around) && !isGroup(around) &&
                       around != litehtml::display_table_row);
    if (fits && !takeLayoutWork(element))
        return false;
    if (kind == Kind::row)
        return takeRow(element, parent.get());
    if (kind == Kind::cell)
        return takeCell(element, parent.get());
    return true;
}

bool WebLayoutBudget::takeLayoutWork(const litehtml::element& element) {
    const size_t bound = page_.bounds().layoutWork;
    // Each level of fitted boxes around the content lays it out about three
    // times over.
    size_t work = boxesWithin(element);
    for (size_t level = 0; level <= fittedLevels(element) && work <= bound; ++level)
        work *= 3;
    if (work > bound - std::min(layoutWork_, bound)) {
        page_.cut(nestingCut_, false);
        return false;
    }
    layoutWork_ += work;
    return true;
}

bool WebLayoutBudget::takeRow(const litehtml::element& row, const litehtml::element* parent) {
    const litehtml::element* table = tableOf(parent);
    if (!growTable(tables_[table]))
        return false;
    rows_[&row] = Row{table};
    return true;
}

bool WebLayoutBudget::growTable(Table& table) {
    if (table.rows + 1 > page_.bounds().tableRows ||
        (table.rows + 1) * std::max<size_t>(table.widest, 1) > kWebMaximumTableCells) {
        page_.cut(rowsCut_, false);
        return false;
    }
    ++table.rows;
    return true;
}

bool WebLayoutBudget::takeCell(const litehtml::element& cell, const litehtml::element* parent) {
    auto row = rows_.find(parent);
    if (row == rows_.end()) {
        // Cells outside a row: litehtml makes a row around them, in a table
        // of its own unless their parent is a table or a group.
        const litehtml::element* table =
            parent && (isTable(parent->get_display()) || isGroup(parent->get_display()))
                ? tableOf(parent)
                : parent;
        if (!growTable(tables_[table]))
            return false;
        row = rows_.emplace(parent, Row{table}).first;
    }
    Row& r = row->second;
    Table& table = tables_[r.table];
    const char* colspan = cell.get_attr("colspan");
    const size_t span = colspan ? size_t(WebClampedTableSpan(colspan)) : 1;
    const size_t width = r.width + span;
    if (r.full || width > size_t(kWebMaximumTableSpan) ||
        table.rows * std::max(table.widest, width) > kWebMaximumTableCells) {
        r.full = true;
        page_.cut(cellsCut_, false);
        return false;
    }
    r.width = width;
    table.widest = std::max(table.widest, width);
    return true;
}

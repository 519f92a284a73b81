#pragma once

#include <cstddef>
#include <string_view>

// litehtml 0.6 frees memory it does not own when a cell spans a negative
// number of rows, and allocates per cell of a table's grid: a rowspan or
// colspan is read as browsers do (what is no number becomes 1) and clamped
// to 1 ... kWebMaximumTableSpan; a table's grid is at most as many columns
// wide and holds at most kWebMaximumTableCells cells.
long WebClampedTableSpan(std::string_view value);

inline constexpr long kWebMaximumTableSpan = 1000;
inline constexpr size_t kWebMaximumTableCells = size_t{1} << 17;

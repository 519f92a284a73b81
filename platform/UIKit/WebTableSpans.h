#pragma once

#include <string>
#include <string_view>

// litehtml 0.6 frees memory it does not own when a cell spans a negative
// number of rows, and allocates per spanned row: the rowspan and colspan of
// a td or th start tag are clamped to 1 ... kWebMaximumTableSpan (what is no
// number becomes 1), as browsers treat them.
std::string WebClampTableSpans(std::string_view tag);

inline constexpr long kWebMaximumTableSpan = 1000;

#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

// The boxes litehtml lays a text out in: one per space (space, tab, line
// end, form feed), one per CJK ideograph, and one per run of other
// characters between them, cut into pieces of at most kWebMaximumWordBytes
// (whole characters) so that no box costs more than a short word to
// measure and a long run may wrap. Calls `box` with each, in order, until
// it answers false.
void WebForEachTextBox(std::string_view text,
                       const std::function<bool(std::string_view box, bool space)>& box);

inline constexpr size_t kWebMaximumWordBytes = 64;

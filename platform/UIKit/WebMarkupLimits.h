#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "UIKit/WebPageBudget.h"

// Parses markup with the HTML parser litehtml uses (gumbo) and writes its
// tree out again (see WebMarkupWriter.h) within bounds the layout can bear:
// elements deeper than maxDepth are dropped and their text kept, every
// rowspan and colspan is clamped, and a table's grid is cut to its bounds
// (WebTableSpans.h), rows beyond and cells past its width left out; spans
// stay on table cells only. Parsing markup so written gives back the bounded
// tree.
//
// Each element and text written is charged to the budget: past its bounds
// (or once it is stopped) the rest of the tree is left out, and when the
// budget says content was left out (here or before) the page ends with a
// note saying so.
std::string WebLimitMarkupTree(std::string_view html, size_t maxDepth, WebPageBudget& budget);

// What a web page shows is first bounded in depth and size as written
// (WebMarkupDepth.h), so that the parser's time and memory stay within what
// the page keeps, then as parsed.
std::string WebLimitMarkup(std::string_view html, WebPageBudget& budget);

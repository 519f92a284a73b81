#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Parses markup with the HTML parser litehtml uses (gumbo) and writes its
// tree out again (see WebMarkupWriter.h) within bounds the layout can bear:
// elements deeper than maxDepth are dropped and their text kept, every
// rowspan and colspan is clamped, and a table's grid is cut to its bounds
// (WebTableSpans.h), rows beyond and cells past its width left out. Parsing markup so written gives
// back the bounded tree.
std::string WebLimitMarkupTree(std::string_view html, size_t maxDepth);

// What a web page shows is first bounded in depth as written
// (WebMarkupDepth.h), so that the parser's time stays linear, then as parsed.
std::string WebLimitMarkup(std::string_view html);

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The HTML parser and layout recurse once per nesting level, so a hostile
// page of 100,000 nested tags would overflow the stack. Before parsing, start
// tags deeper than maxDepth are dropped (with their end tags); their text
// stays. Comments, doctype, raw-text elements (script, style, textarea,
// title) and void elements are recognised so the depth is counted as the
// parser will see it; elements that close implicitly (p, li, td, ...) close
// their open namesake. Table cells' spans are clamped (WebTableSpans.h).
std::string WebLimitMarkupDepth(std::string_view html, size_t maxDepth);

inline constexpr size_t kWebMaximumMarkupDepth = 256;

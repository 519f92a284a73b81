#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "UIKit/WebPageBudget.h"

// The HTML parser and layout recurse once per nesting level, and the parser
// takes time growing with the square of the depth, so a hostile page of
// 100,000 nested tags would overflow the stack or hold the page for minutes.
// Before parsing, in time linear in its length, the markup is tokenized as
// the HTML tokenizer reads it and written out again in a plain form (see
// WebMarkupWriter.h): start tags deeper than maxDepth are dropped (with their
// end tags), their text stays. Comments and script contents go; the
// contents of style, title, textarea and the like pass as they are, up to
// their end tag. Void elements add no depth; elements that close implicitly
// (p, li, td, ...) close their open namesake. The parser's tree may still
// differ by the elements it implies (tbody, tr, reopened formatting): the
// exact limits are applied to that tree (WebMarkupLimits.h).
//
// The elements and text written are charged to the budget, the elements the
// parser opens anew after a misnested end included; past its bounds the
// rest of the markup is not read, so that what follows costs no more than
// the page it keeps. The pass ends early too when the budget is stopped.
std::string WebLimitMarkupDepth(std::string_view html, size_t maxDepth, WebPageBudget& budget);

// What the budget is told when tags deeper than maxDepth are left out.
std::string WebDeepMarkupCut(size_t maxDepth);

inline constexpr size_t kWebMaximumMarkupDepth = 256;

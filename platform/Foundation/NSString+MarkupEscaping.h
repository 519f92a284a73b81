#pragma once

#include <string>

// The text made safe to stand in HTML or XML, as element content or inside a
// quoted attribute: & < > " and ' become entities.
std::string NSStringByEscapingMarkup(const std::string& text);

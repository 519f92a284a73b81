#pragma once

#include <string>
#include <string_view>

// The families a page's CSS font-family list is drawn with: only the fonts
// the project installs, whatever else a machine has. Generic families and
// the names pages commonly ask for map to Noto Sans, Noto Serif or DejaVu
// Sans Mono by kind; the project's own families stay; other names are left
// out; an empty result is Noto Sans. The answer is a comma-separated family
// list for pango, each family once, in the page's order.
std::string WebFontFamilies(std::string_view cssFamilies);

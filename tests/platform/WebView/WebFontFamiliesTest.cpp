#include <gtest/gtest.h>

#include "UIKit/WebFontFamilies.h"

// A page's families never reach fontconfig as they are: on a machine with
// other fonts, "Helvetica" would be drawn with whatever it offers for it.
TEST(WebFontFamiliesTest, PagesAreDrawnWithTheProjectsFontsOnly) {
    EXPECT_EQ(WebFontFamilies("'Helvetica Neue', Helvetica"), "Noto Sans");
    EXPECT_EQ(WebFontFamilies("\"Times New Roman\", Times, serif"), "Noto Serif");
    EXPECT_EQ(WebFontFamilies("Menlo, courier new, MONOSPACE"), "DejaVu Sans Mono");
    EXPECT_EQ(WebFontFamilies("DejaVu Serif, Arial"), "DejaVu Serif, Noto Sans");
    // Names no project font stands in for are left out.
    EXPECT_EQ(WebFontFamilies("Nimbus Sans, Comic Sans MS, serif"), "Noto Serif");
    EXPECT_EQ(WebFontFamilies("Nimbus Sans"), "Noto Sans");
    EXPECT_EQ(WebFontFamilies(""), "Noto Sans");
    EXPECT_EQ(WebFontFamilies(" , ,"), "Noto Sans");
}

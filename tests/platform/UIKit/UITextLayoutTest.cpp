#include <gtest/gtest.h>

#include <cmath>

#include "UIKit/UIFont.h"
#include "UIKit/UITextLayout.h"

// Lines that cannot show do not depend on the text beyond them: a megabyte
// laid out in a few lines, or a few lines' height, is laid out as its start
// is, whatever the characters (a cut in the middle of one breaks nothing).
TEST(UITextLayoutTest, LongTextsLayOutAsTheirShownStart) {
    std::string words, wide;
    while (words.size() < (size_t{1} << 20)) {
        words += "Stargarder Tor, Neubrandenburg: a gate of brick \u00e4\u20ac\n";
        wide += "\u20ac\u00e4\u6f22";
    }
    struct Case {
        const std::string* text;
        CGFloat width;
        size_t lines;
        CGFloat height;
        NSLineBreakMode mode;
    };
    const Case cases[] = {
        {&words, 200, 3, UITextLayout::kUnlimited, NSLineBreakByTruncatingTail},
        {&words, 200, 0, 60, NSLineBreakByWordWrapping},
        {&words, 200, 1, UITextLayout::kUnlimited, NSLineBreakByWordWrapping},
        {&wide, 120, 2, UITextLayout::kUnlimited, NSLineBreakByTruncatingMiddle},
        {&wide, UITextLayout::kUnlimited, 1, UITextLayout::kUnlimited, NSLineBreakByClipping},
    };
    for (const Case& c : cases) {
        NSStringDrawingAttributes attributes;
        attributes.font = UIFont::systemFontOfSize(14);
        attributes.lineBreakMode = c.mode;
        const UITextLayout whole(*c.text, attributes, c.width, c.lines, c.height);
        const UITextLayout start(c.text->substr(0, 3000), attributes, c.width, c.lines, c.height);
        EXPECT_EQ(whole.lineCount(), start.lineCount());
        EXPECT_TRUE(whole.isTruncated());
        EXPECT_EQ(whole.size().height, start.size().height);
        if (std::isfinite(c.width)) {
            EXPECT_EQ(whole.size().width, start.size().width);
        }
    }
}

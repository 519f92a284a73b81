#pragma once

#include <optional>

#include "UIKit/UIColor.h"
#include "UIKit/UIFont.h"

enum NSTextAlignment : long {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentJustified = 3,
    NSTextAlignmentNatural = 4,
};

enum NSLineBreakMode : long {
    NSLineBreakByWordWrapping = 0,
    NSLineBreakByCharWrapping,
    NSLineBreakByClipping,
    NSLineBreakByTruncatingHead,
    NSLineBreakByTruncatingTail,
    NSLineBreakByTruncatingMiddle,
};

enum NSStringDrawingOptions : unsigned {
    NSStringDrawingTruncatesLastVisibleLine = 1 << 5,
    NSStringDrawingUsesLineFragmentOrigin = 1 << 0,
    NSStringDrawingUsesFontLeading = 1 << 1,
};

// The text attributes UIKit's string drawing takes (font, colour and the
// paragraph's alignment and line breaking). A missing font is the system
// font of 12 points; a missing colour is black, or the context's fill colour
// for the font-only drawing functions.
struct NSStringDrawingAttributes {
    UIFontRef font;
    std::optional<UIColor> foregroundColor;
    NSTextAlignment alignment = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping;
    bool colorFromContext = false;
};

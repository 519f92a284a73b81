#pragma once

#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/NSStringDrawing.h"

// UIKit's string measuring and drawing, as free functions over UTF-8 text.
// Measuring is safe on any thread; drawing goes into
// UIGraphicsGetCurrentContext (y down) and answers the size drawn.

// One line in the font, rounded up to whole points.
CGSize sizeWithFont(const std::string& text, const UIFontRef& font);
// One line cut at width by the mode.
CGSize sizeWithFontForWidthLineBreakMode(const std::string& text, const UIFontRef& font,
                                         CGFloat width, NSLineBreakMode mode);
// Wrapped within size (whole lines only), rounded up.
CGSize sizeWithFontConstrainedToSize(const std::string& text, const UIFontRef& font, CGSize size);
CGSize sizeWithFontConstrainedToSizeLineBreakMode(const std::string& text, const UIFontRef& font,
                                                  CGSize size, NSLineBreakMode mode);
// One line, unrounded.
CGSize sizeWithAttributes(const std::string& text, const NSStringDrawingAttributes& attributes);
// With NSStringDrawingUsesLineFragmentOrigin the text wraps within size,
// else it is one line.
CGRect boundingRectWithSizeOptionsAttributes(const std::string& text, CGSize size, unsigned options,
                                             const NSStringDrawingAttributes& attributes);

CGSize drawAtPointWithFont(const std::string& text, CGPoint point, const UIFontRef& font);
CGSize drawAtPointForWidthWithFontLineBreakMode(const std::string& text, CGPoint point,
                                                CGFloat width, const UIFontRef& font,
                                                NSLineBreakMode mode);
CGSize drawInRectWithFont(const std::string& text, const CGRect& rect, const UIFontRef& font);
CGSize drawInRectWithFontLineBreakModeAlignment(const std::string& text, const CGRect& rect,
                                                const UIFontRef& font, NSLineBreakMode mode,
                                                NSTextAlignment alignment);
void drawAtPointWithAttributes(const std::string& text, CGPoint point,
                               const NSStringDrawingAttributes& attributes);
void drawInRectWithAttributes(const std::string& text, const CGRect& rect,
                              const NSStringDrawingAttributes& attributes);

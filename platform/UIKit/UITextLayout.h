#pragma once

#include <limits>
#include <string>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "CoreText/CTLine.h"
#include "UIKit/NSStringDrawing.h"

// Text laid out for UIKit's drawing: wrapped at a width (unlimited: only at
// newlines), at most maxLines lines (0: no limit) and whole lines within
// maxHeight; the last line is truncated by the attributes' line break mode
// when text is left over or does not fit the width. Safe on any thread.
class UITextLayout {
  public:
    static constexpr CGFloat kUnlimited = std::numeric_limits<CGFloat>::infinity();

    UITextLayout(const std::string& text, const NSStringDrawingAttributes& attributes,
                 CGFloat width, size_t maxLines = 0, CGFloat maxHeight = kUnlimited);

    // The width of the widest line and the height of the lines.
    CGSize size() const { return size_; }
    size_t lineCount() const { return lines_.size(); }
    // Whether text was cut (lines dropped or a line truncated).
    bool isTruncated() const { return truncated_; }

    // Draws the lines from rect's top, aligned within its width (y down).
    void drawInRect(CGContext& context, const CGRect& rect) const;

  private:
    struct Line {
        CTLineRef line;
        CGFloat baseline;  // from the top
        CGFloat width;
    };

    std::vector<Line> lines_;
    CGSize size_{};
    bool truncated_ = false;
    NSTextAlignment alignment_;
};

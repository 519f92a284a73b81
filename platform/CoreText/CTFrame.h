#pragma once

#include <memory>
#include <vector>

#include "CoreGraphics/CGContext.h"
#include "CoreText/CFRange.h"
#include "CoreText/CTLine.h"

class CTTextLayout;

// Lines of text set into a rectangle: as many whole lines as fit its height.
class CTFrame {
  public:
    const std::vector<CTLineRef>& lines() const { return lines_; }
    // Baseline origins relative to the rectangle's bottom-left corner (y up),
    // for lines [range.location, +range.length) (length 0: to the end).
    std::vector<CGPoint> lineOrigins(CFRange range = {}) const;
    CFRange stringRange() const { return stringRange_; }
    CFRange visibleStringRange() const { return visibleRange_; }
    const CGRect& rect() const { return rect_; }
    // CTFrameDraw: every line at its origin, in the context's text space.
    void draw(CGContext& context) const;

    CTFrame(std::shared_ptr<const CTTextLayout> layout, const CGRect& rect);

  private:
    CGRect rect_;
    std::vector<CTLineRef> lines_;
    std::vector<CGPoint> origins_;
    CFRange stringRange_;
    CFRange visibleRange_;
};

using CTFrameRef = std::shared_ptr<CTFrame>;

#pragma once

#include <functional>
#include <memory>

#include "CoreGraphics/CGAffineTransform.h"
#include "CoreGraphics/CGGeometry.h"

class CGContext;

enum CGPatternTiling {
    kCGPatternTilingNoDistortion = 0,
    kCGPatternTilingConstantSpacingMinimalDistortion = 1,
    kCGPatternTilingConstantSpacing = 2,
};

// A pattern cell repeated every xStep by yStep in pattern space. The cell is
// drawn by a callback into a context whose user space is pattern space,
// clipped to bounds. matrix maps pattern space to the user space in force
// when the pattern paints. An uncoloured cell is a stencil: only its alpha
// counts and the fill colour's components paint it.
class CGPattern {
  public:
    using DrawFunction = std::function<void(CGContext& context)>;

    // nullptr for steps that are not positive and finite, or a missing callback.
    static std::shared_ptr<CGPattern> create(const CGRect& bounds, const CGAffineTransform& matrix,
                                             CGFloat xStep, CGFloat yStep, CGPatternTiling tiling,
                                             bool isColored, DrawFunction draw);

    const CGRect& bounds() const { return bounds_; }
    const CGAffineTransform& matrix() const { return matrix_; }
    CGFloat xStep() const { return xStep_; }
    CGFloat yStep() const { return yStep_; }
    CGPatternTiling tiling() const { return tiling_; }
    bool isColored() const { return isColored_; }
    void drawCell(CGContext& context) const { draw_(context); }

    CGPattern(const CGRect& bounds, const CGAffineTransform& matrix, CGFloat xStep, CGFloat yStep,
              CGPatternTiling tiling, bool isColored, DrawFunction draw);

  private:
    CGRect bounds_;
    CGAffineTransform matrix_;
    CGFloat xStep_;
    CGFloat yStep_;
    CGPatternTiling tiling_;
    bool isColored_;
    DrawFunction draw_;
};

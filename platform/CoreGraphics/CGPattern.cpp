#include "CoreGraphics/CGPattern.h"

CGPattern::CGPattern(const CGRect& bounds, const CGAffineTransform& matrix, CGFloat xStep,
                     CGFloat yStep, CGPatternTiling tiling, bool isColored, DrawFunction draw)
    : bounds_(bounds),
      matrix_(matrix),
      xStep_(xStep),
      yStep_(yStep),
      tiling_(tiling),
      isColored_(isColored),
      draw_(std::move(draw)) {}

std::shared_ptr<CGPattern> CGPattern::create(const CGRect& bounds, const CGAffineTransform& matrix,
                                             CGFloat xStep, CGFloat yStep, CGPatternTiling tiling,
                                             bool isColored, DrawFunction draw) {
    if (!(xStep > 0) || !(yStep > 0) || !std::isfinite(xStep) || !std::isfinite(yStep) || !draw) {
        return nullptr;
    }
    return std::make_shared<CGPattern>(bounds, matrix, xStep, yStep, tiling, isColored,
                                       std::move(draw));
}

#pragma once

#include "CoreGraphics/CGPath.h"
#include "mapkit/CBGeoStyle.h"

class CGContext;

// Draws path with style: casing, fill, fill pattern, dashes and stroke, in
// that order. Widths and dash lengths are divided by scale (> 0) so that they
// keep their size on screen in a zoomed context. Leaves the context's alpha,
// cap, join, dash, colours and line width as it set them. evenOdd fills
// with the even-odd rule, so that inner rings (holes) stay open whatever
// their direction.
void CBDrawPathWithStyle(const CGPath& path, CGContext& context, CBGeoStyle& style, CGFloat scale,
                         bool evenOdd = false);

#pragma once

#include "CoreGraphics/CGPath.h"
#include "mapkit/CBGeoStyle.h"

class CGContext;

// Draws path with style: casing, fill, fill pattern, dashes and stroke, in
// that order. Widths and dash lengths are divided by scale (> 0) so that they
// keep their size on screen in a zoomed context. Leaves the context's alpha,
// cap, join, dash, colours and line width as it set them.
void CBDrawPathWithStyle(const CGPath& path, CGContext& context, CBGeoStyle& style, CGFloat scale);

#pragma once

#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIGeometry.h"

// Which sides of a map a callout keeps clear of, for the views a screen lays
// over the map (its buttons): those level with the callout, and those its
// pin lies under.
class CBCalloutClearance {
  public:
    // Room kept between a callout and a side it keeps clear of.
    static constexpr CGFloat kGap = 8;

    // `visible` is the map's visible area; all rects in one coordinate space.
    // A view closer than kGap above or below the callout's edges, or closer
    // than kGap to the pin, covers the side its middle lies on, from its inner
    // edge to the area's edge. Only left and right are set.
    static UIEdgeInsets coveredSides(const CGRect& callout, const CGRect& pin,
                                     const CGRect& visible, const std::vector<CGRect>& obstacles);
};

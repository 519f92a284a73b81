#pragma once

#include <memory>

#include "QuartzCore/CALayer.h"

// The anchor point in points: anchorPoint times the bounds' size.
CGPoint absoluteAnchorPoint_zel(const std::shared_ptr<CALayer>& layer);
// Sets the anchor point from points; with maintainPosition the position
// first moves by the change, so the layer stays where it is on screen.
void setZELAbsoluteAnchorPointAndMaintainPosition(const std::shared_ptr<CALayer>& layer,
                                                  CGPoint point, bool maintainPosition);
void setZELAbsoluteAnchorPoint(const std::shared_ptr<CALayer>& layer, CGPoint point);

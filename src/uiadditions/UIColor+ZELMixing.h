#pragma once

#include "UIKit/UIColor.h"

// (1 - factor) of the colour plus factor of the other, channel by channel
// with alpha; 0 gives the colour, 1 the other. Colours without RGB
// components count as transparent black.
UIColor mixedByWithColor(const UIColor& color, CGFloat factor, const UIColor& other);

#pragma once

#include "CoreGraphics/CGGeometry.h"

// Hue in degrees (0 up to 360, -1 for black, whose hue is undefined);
// saturation and value in 0...1.
struct ZELHSV {
    CGFloat hue = 0;
    CGFloat saturation = 0;
    CGFloat value = 0;
};

struct ZELRGB {
    CGFloat red = 0;
    CGFloat green = 0;
    CGFloat blue = 0;
};

// A grey (no saturation) has hue 0, so that hue arithmetic never meets a NaN.
ZELHSV ZELRGBToHSV(CGFloat red, CGFloat green, CGFloat blue);
// Any hue is taken modulo 360 (so 360 and -360 are red).
ZELRGB ZELHSVToRGB(CGFloat hue, CGFloat saturation, CGFloat value);
